#pragma once
// Words and how they are said, for the speech engine: the built-in list of names and the
// clinic's own pronuncia.txt. How a word is said is written in the notation the engine reads:
// a respelling in Portuguese spelling ("Tchiago", "Djênifer"), or espeak-ng's inline phonemes
// between double square brackets ("[[w'ili;&~N]]") where a respelling cannot carry the stress
// or the sound.

#include <QHash>
#include <QString>
#include <QStringView>

class Lexicon {
public:
    // Adds the entry of a spelling (one word), replacing an earlier one of the same spelling.
    void add(QStringView spelling, const QString& said);
    // How the word is said, or null. Whole words, without regard to case or to how accents are
    // encoded (composed or as separate marks).
    const QString* find(QStringView word) const;
    qsizetype size() const { return m_said.size(); }
    bool isEmpty() const { return m_said.isEmpty(); }

private:
    QHash<QString, QString> m_said;
};

// True when the text is one word: letters, with their marks, and nothing else.
bool isOneWord(QStringView spelling);

// Why the text cannot be how a word is said, in Portuguese; empty when it can: a respelling
// (letters, blanks, hyphens and apostrophes) or one group of inline phonemes ("[[" the
// engine's ASCII phoneme names "]]").
QString saidFormProblem(QStringView said);
