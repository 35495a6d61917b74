#pragma once
// Setting one value of config.ini while keeping the rest of the file and its encoding, for the
// administrator's encoding tool.

#include "tools/cripto/credentialencoder.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

struct IniDocument {
    enum class Encoding { Ansi, Utf8Bom, Utf16LE, Utf16BE };
    Encoding encoding = Encoding::Ansi;
    QString lineEnd = QStringLiteral("\r\n");
    QStringList lines;

    // Reads the bytes the way the panel does: a byte-order mark selects UTF-8 or UTF-16,
    // otherwise Windows-1252. The line end of the file is kept (CR LF for a file without one).
    static IniDocument fromBytes(const QByteArray& bytes);
    QByteArray toBytes() const;

    IniStorage storage() const { return encoding == Encoding::Ansi ? IniStorage::Ansi : IniStorage::Unicode; }

    // Sets key=value in the first section of that name, where the panel looks for it: replaces
    // the key's first line there, or adds the line after the section's last line, or adds the
    // section at the end of the file. Names match without regard to case, as on reading.
    void setValue(const QString& section, const QString& key, const QString& value);
};
