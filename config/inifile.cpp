#include "config/inifile.h"

#include "base/textfile.h"

#include <QFile>

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

QString trimBlanks(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return s.mid(b, e - b);
}

QString unquote(const QString& s) {
    if (s.size() >= 2 && (s.front() == u'"' || s.front() == u'\'') && s.back() == s.front())
        return s.mid(1, s.size() - 2);
    return s;
}

} // namespace

TIniFile::TIniFile(QString path) : m_path(std::move(path)) {}

void TIniFile::load() const {
    if (m_loaded) return;
    m_loaded = true;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) return;
    m_lines = splitLines(decodeText(file.readAll()));
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& def) const {
    load();
    bool inSection = false;
    for (const QString& raw : m_lines) {
        const QString line = trimBlanks(raw);
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            const QString name = trimBlanks(line.mid(1, close < 0 ? -1 : close - 1));
            if (inSection) return def.left(kMaxValueLength);
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection) continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) continue;
        if (trimBlanks(line.left(eq)).compare(key, Qt::CaseInsensitive) != 0) continue;
        return unquote(trimBlanks(line.mid(eq + 1))).left(kMaxValueLength);
    }
    return def.left(kMaxValueLength);
}
