#include "tests/support/hallpanel.h"

#include "tests/support/panelfolder.h"
#include "tests/support/soundspans.h"
#include "tests/support/station.h"

#include <QDir>
#include <QFile>

HallPanel::HallPanel(const HallSink& sink, HallPanelSetup setup) : m_sink(sink), m_setup(std::move(setup)) {}

HallPanel::~HallPanel() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool HallPanel::install(QString* why) {
    PanelFolder installed;
    if (!installPanelFolder(m_dir.path(), {}, m_setup.soundSwitch, "S", &installed, why)) return false;
    m_port = installed.port;
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(m_dir.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    bool ok = write(QStringLiteral("NOTIFY.WAV"), toneWave(m_setup.toneSeconds));
    if (ok && !m_setup.pronuncia.isEmpty()) ok = write(QStringLiteral("pronuncia.txt"), m_setup.pronuncia);
    if (!ok && why) *why = QStringLiteral("cannot write the panel's files in %1").arg(m_dir.path());
    return ok;
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
