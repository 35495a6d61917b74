#pragma once
// Comparing what the speech engine says, through its phonemes.

#include <QRegularExpression>
#include <QString>

// The sounds of a phoneme text: no stress, pause, clause or word marks.
inline QString sounds(const QString& phonemes) {
    QString out = phonemes;
    static const QRegularExpression marks(QStringLiteral("[',;_:!|# \\n]"));
    out.remove(marks);
    return out;
}

// A name as the panel gave it to the engine before names were respelled: an initial capital,
// the rest in lower case.
inline QString capitalisedName(const QString& name) { return name.left(1).toUpper() + name.mid(1).toLower(); }
