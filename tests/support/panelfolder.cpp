#include "tests/support/panelfolder.h"

#include "base/codepage.h"
#include "base/errors.h"
#include "tests/support/firebird.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>

bool installPanelFolder(const QString& dir, const QByteArray& configIniMore, const QByteArray& soundSwitch,
                        const QByteArray& voiceSwitch, PanelFolder* installed, QString* why) {
    const auto fail = [&](const QString& text) {
        if (why) *why = text;
        return false;
    };
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(QDir(dir).filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    testClient(); // the private Firebird root, which the panel inherits
    const QString exe = QDir(dir).filePath(QStringLiteral("painel"));
    if (!QFile::copy(QStringLiteral(PAINEL_PATH), exe)) return fail(QStringLiteral("cannot copy the panel"));
    installed->database = QDir(dir).filePath(QStringLiteral("calls.fdb"));
    try {
        FbSession station = FbSession::create(installed->database, embeddedParams());
        station.createSchema();
        station.addCounter(1, QStringLiteral("RECEPÇÃO - GUICHÊ 1"), QStringLiteral("A"));
    } catch (const EPainelError& e) {
        return fail(e.text());
    }
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return fail(QStringLiteral("no free port"));
    installed->port = probe.serverPort();
    probe.close();
    const bool ok =
        write(QStringLiteral("config.ini"),
              "[sgbd]\r\nusuario=\r\nfatura=" + cp1252::encode(installed->database) + "\r\n" + configIniMore) &&
        write(QStringLiteral("configserver.txt"),
              QByteArray::number(installed->port) + "\r\n1\r\n" + soundSwitch + "\r\n" + voiceSwitch + "\r\n");
    return ok || fail(QStringLiteral("cannot write the panel's files in %1").arg(dir));
}
