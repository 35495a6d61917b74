#include "tests/support/hallpanel.h"

#include "base/codepage.h"
#include "base/errors.h"
#include "tests/support/firebird.h"
#include "tests/support/soundspans.h"
#include "tests/support/station.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>

HallPanel::HallPanel(const HallSink& sink, HallPanelSetup setup) : m_sink(sink), m_setup(std::move(setup)) {}

HallPanel::~HallPanel() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool HallPanel::install(QString* why) {
    const auto fail = [&](const QString& text) {
        if (why) *why = text;
        return false;
    };
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(m_dir.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    testClient(); // the private Firebird root, which the panel inherits
    const QString exe = m_dir.filePath(QStringLiteral("painel"));
    if (!QFile::copy(QStringLiteral(PAINEL_PATH), exe)) return fail(QStringLiteral("cannot copy the panel"));
    const QString database = m_dir.filePath(QStringLiteral("calls.fdb"));
    try {
        FbSession station = FbSession::create(database, embeddedParams());
        station.createSchema();
        station.addCounter(1, QStringLiteral("RECEPÇÃO - GUICHÊ 1"), QStringLiteral("A"));
    } catch (const EPainelError& e) {
        return fail(e.text());
    }
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return fail(QStringLiteral("no free port"));
    m_port = probe.serverPort();
    probe.close();
    bool ok = write(QStringLiteral("config.ini"), "[sgbd]\r\nusuario=\r\nfatura=" + cp1252::encode(database) + "\r\n") &&
              write(QStringLiteral("configserver.txt"),
                    QByteArray::number(m_port) + "\r\n1\r\n" + m_setup.soundSwitch + "\r\nS\r\n") &&
              write(QStringLiteral("NOTIFY.WAV"), toneWave(m_setup.toneSeconds));
    if (ok && !m_setup.pronuncia.isEmpty()) ok = write(QStringLiteral("pronuncia.txt"), m_setup.pronuncia);
    return ok || fail(QStringLiteral("cannot write the panel's files in %1").arg(m_dir.path()));
}

bool HallPanel::start(QString* why) {
    if (!install(why)) return false;
    QStringList env = m_sink.environment(QProcessEnvironment::systemEnvironment().toStringList());
    env << QStringLiteral("QT_QPA_PLATFORM=offscreen") << QStringLiteral("PAINEL_ERRORS=stderr") << m_setup.environment;
    m_process.setEnvironment(env);
    m_process.setWorkingDirectory(m_dir.path());
    m_process.start(m_dir.filePath(QStringLiteral("painel")), {});
    if (!m_process.waitForStarted(10000)) {
        if (why) *why = QStringLiteral("the panel did not start: ") + m_process.errorString();
        return false;
    }
    if (!waitListening(m_process, m_port, 30000)) {
        if (why) *why = QStringLiteral("the panel did not start listening: ") + errors();
        return false;
    }
    return true;
}

QString HallPanel::errors() {
    m_errors += QString::fromLocal8Bit(m_process.readAllStandardError());
    return m_errors;
}
