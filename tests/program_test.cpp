// The program as a whole process: what it does when the database client library is missing.

#include "tests/support/tempdir.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

// The panel copied into a folder of the test's own, since config.ini is looked up beside it.
QString installPanel(const TestDir& dir) {
    const QString target = dir.file(QStringLiteral("painel"));
    EXPECT_TRUE(QFile::copy(QStringLiteral(PAINEL_EXECUTABLE), target));
    QFile::setPermissions(target, QFile::permissions(target) | QFile::ExeOwner);
    return target;
}

struct PanelRun {
    int exitCode = -1;
    QString errors;
};

PanelRun runPanel(const QString& program, const QString& workDir, const QStringList& env) {
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    e.insert(QStringLiteral("PAINEL_ERRORS"), QStringLiteral("stderr"));
    for (const QString& kv : env) e.insert(kv.section(u'=', 0, 0), kv.section(u'=', 1));
    p.setProcessEnvironment(e);
    p.setWorkingDirectory(workDir);
    p.start(program, {});
    EXPECT_TRUE(p.waitForFinished(30000)) << "the panel did not end";
    if (p.state() != QProcess::NotRunning) p.kill();
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError())};
}

TEST(Program, AMissingClientLibraryEndsWithExitCode1BeforeStartUp) {
    TestDir dir;
    const QString panel = installPanel(dir);
    dir.write("config.ini", "[sgbd]\nfatura=/nowhere.fdb\n");
    const PanelRun run = runPanel(panel, dir.path(), {"PAINEL_FBCLIENT=/nonexistent/libfbclient.so.2"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errors.contains(QStringLiteral(
        "InterBase library libfbclient.so.2 not found in the path. Please install InterBase to use this functionality")))
        << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains(QStringLiteral("Fatura"))) << run.errors.toStdString();
    // Start-up did not run: nothing about config.ini or the database was said.
    EXPECT_FALSE(run.errors.contains(QStringLiteral("nowhere.fdb")));
}

} // namespace
