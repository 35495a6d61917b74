// libFuzzer target for the config.ini reader. Any file content is read without failing; a value
// read is either the default or a piece of the file's text, at most 2047 characters; section and
// key match without regard to letter case; reading is repeatable. The list of stations and the
// listen address read from it are either taken or refused with the panel's message naming the
// entry, and a list taken allows each address it names. The panel group's section is taken (a
// broker with a port, a name fit for a topic level) or refused with a message naming [grupo].

#include "config/groupsettings.h"
#include "config/inifile.h"
#include "base/errors.h"
#include "calls/stationlist.h"
#include "base/textfile.h"
#include "tests/fuzz/fuzzinput.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

QString swapAsciiCase(QString s) {
    for (QChar& c : s) {
        const char16_t u = c.unicode();
        if (u >= u'a' && u <= u'z') c = QChar(char16_t(u - 32));
        else if (u >= u'A' && u <= u'Z') c = QChar(char16_t(u + 32));
    }
    return s;
}

// A section and key that the file itself names: the last "key=" line and the header above it.
std::pair<QString, QString> lookupFromText(const QStringList& lines) {
    QString section, key;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[')) section = line.mid(1, line.indexOf(u']') - 1).trimmed();
        else if (line.contains(u'=')) key = line.left(line.indexOf(u'=')).trimmed();
    }
    return {section, key};
}

void checkRead(const TIniFile& ini, const QString& text, const QString& section, const QString& key) {
    const QString def = QStringLiteral("\x01" "default");
    const QString v = ini.ReadString(section, key, def);
    fuzz::check(v.size() <= TIniFile::kMaxValueLength, "a value is at most 2047 characters");
    fuzz::check(v == def || text.contains(v), "a value is the default or a piece of the file");
    fuzz::check(ini.ReadString(section, key, def) == v, "reading again gives the same value");
    fuzz::check(ini.ReadString(swapAsciiCase(section), swapAsciiCase(key), def) == v,
                "section and key match without regard to case");
}

void checkStations(const QString& estacoes, const QString& endereco) {
    try {
        const StationList list = StationList::parse(estacoes);
        static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
        for (const QString& entry : estacoes.split(separators, Qt::SkipEmptyParts))
            fuzz::check(list.allows(QHostAddress(entry.section(u'/', 0, 0))), "a listed entry's own address may call");
        fuzz::check(!list.allowsEveryAddress() || estacoes.split(separators, Qt::SkipEmptyParts).isEmpty(),
                    "only an empty list lets every address call");
    } catch (const EStartupError& e) {
        fuzz::check(e.text().contains(QStringLiteral("[definicao] estacoes a entrada \"")), "the message names the key");
    }
    try {
        const QHostAddress address = parseListenAddress(endereco);
        fuzz::check(address.protocol() == QAbstractSocket::IPv4Protocol, "the panel listens on IPv4");
    } catch (const EStartupError& e) {
        fuzz::check(e.text().contains(endereco.trimmed()), "the message names the value");
    }
}

void checkGroup(const TIniFile& ini) {
    const GroupSettingsRead read = readGroupSettings(ini, [] { return QStringLiteral("k"); });
    if (!read.error.isEmpty()) {
        fuzz::check(!read.settings && read.error.contains(QStringLiteral("[grupo] ")), "the message names the section");
        return;
    }
    if (!read.settings) return;
    fuzz::check(read.settings->port > 0 && !read.settings->host.isEmpty(), "a group has a broker");
    static const QRegularExpression level(QStringLiteral("^[A-Za-z0-9_.-]{1,64}$"));
    fuzz::check(level.match(read.settings->name).hasMatch(), "the group's name is one topic level");
    fuzz::check(read.settings->validitySeconds >= 1 && read.settings->validitySeconds <= 3600, "the validity is bounded");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config.ini"));
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) fuzz::fail("cannot write the file");
        f.write(bytes);
    }
    const QString text = decodeText(bytes);
    const TIniFile ini(path);
    static const std::pair<const char16_t*, const char16_t*> kProgramKeys[] = {
        {u"fonte", u"tamanhofontenome"}, {u"fonte", u"tamanhofonteservico"}, {u"fonte", u"ajustar"},
        {u"sgbd", u"usuario"}, {u"sgbd", u"senha"}, {u"sgbd", u"cripto"}, {u"sgbd", u"chave"},
        {u"sgbd", u"fatura"}, {u"definicao", u"repetirvideo"}, {u"definicao", u"privacidade"},
        {u"definicao", u"estacoes"}, {u"definicao", u"endereco"}, {u"grupo", u"broker"}, {u"grupo", u"nome"},
        {u"grupo", u"validade"}};
    for (const auto& [section, key] : kProgramKeys)
        checkRead(ini, text, QString::fromUtf16(section), QString::fromUtf16(key));
    checkStations(ini.ReadString(QStringLiteral("definicao"), QStringLiteral("estacoes"), QString()),
                  ini.ReadString(QStringLiteral("definicao"), QStringLiteral("endereco"), QString()));
    checkGroup(ini);
    const auto [section, key] = lookupFromText(splitLines(text));
    checkRead(ini, text, section, key);
    fuzz::check(ini.ReadString(QStringLiteral("\x02" "no such section"), key, QStringLiteral("d")) == u"d",
                "a missing section gives the default");
    return 0;
}
