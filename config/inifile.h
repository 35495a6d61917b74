#pragma once
// Reader of config.ini, the way the system's profile-string reading takes it.

#include <QString>
#include <QStringList>

class TIniFile {
public:
    // Opening touches no file; the file is read at the first look-up and kept.
    explicit TIniFile(QString path);

    // Section and key match without regard to case; the first occurrence counts. Leading and
    // trailing blanks of the value are dropped, then a pair of enclosing quotes (single or
    // double); at most 2047 characters are taken. A missing file, section or key gives def.
    QString ReadString(const QString& section, const QString& key, const QString& def) const;

    const QString& FileName() const { return m_path; }

    static constexpr int kMaxValueLength = 2047;

private:
    void load() const;

    QString m_path;
    mutable bool m_loaded = false;
    mutable QStringList m_lines;
};
