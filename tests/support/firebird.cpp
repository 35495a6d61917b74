#include "tests/support/firebird.h"

#include "base/codepage.h"
#include "base/errors.h"
#include "db/fbclient.h"
#include "db/fbstatus.h"
#include "tools/stationsql.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <clocale>
#include <langinfo.h>

namespace {

void check(FbStatus& status) {
    if (status.failed()) status.raise(testClient());
}

QString param(const QStringList& params, const QString& name) {
    for (const QString& line : params)
        if (line.startsWith(name + QLatin1Char('='))) return line.mid(name.size() + 1);
    return {};
}

} // namespace

FbClient& testClient() {
    static FbClient* client = [] {
        static QTemporaryDir root(QDir::tempPath() + QStringLiteral("/painel-fbroot-XXXXXX"));
        QDir(root.path()).mkpath(QStringLiteral("lock"));
        QFile conf(root.filePath(QStringLiteral("firebird.conf")));
        if (!conf.open(QIODevice::WriteOnly)) qFatal("cannot write the private firebird.conf");
        conf.write("ServerMode = SuperClassic\n");
        conf.close();
        qputenv("FIREBIRD", root.path().toLocal8Bit());
        qputenv("FIREBIRD_LOCK", root.filePath(QStringLiteral("lock")).toLocal8Bit());
        // The client library turns database names from the process's character set to UTF-8.
        // The panel's process always has a UTF-8 one (Qt switches to C.UTF-8 when the system's
        // is not); a test program without a Qt application gets the same here.
        if (!std::setlocale(LC_ALL, "")) std::setlocale(LC_ALL, "C.UTF-8");
        if (QByteArray(nl_langinfo(CODESET)) != "UTF-8") std::setlocale(LC_ALL, "C.UTF-8");
        return new FbClient(QString::fromLatin1(FbClient::kDefaultLibrary));
    }();
    return *client;
}

QString sourceDir() {
    return QStringLiteral(PAINEL_SOURCE_DIR);
}

QString FbServer::databaseName(const QString& path) const {
    return QStringLiteral("127.0.0.1/%1:%2").arg(port).arg(path);
}

QStringList FbServer::params() const {
    return {QStringLiteral("user_name=SYSDBA"), QStringLiteral("password=") + password};
}

std::optional<FbServer> sharedServer() {
    const QString port = qEnvironmentVariable("PAINEL_FB_SERVER_PORT");
    if (port.isEmpty()) return std::nullopt;
    return FbServer{port.toInt(), qEnvironmentVariable("PAINEL_FB_SERVER_ROOT"),
                    qEnvironmentVariable("PAINEL_FB_SERVER_PASSWORD")};
}

QString OwnServer::run(const QString& command) {
    QProcess script;
    script.start(QStringLiteral("bash"),
                 {sourceDir() + QStringLiteral("/tests/support/fbserver.sh"), command, m_root});
    script.waitForFinished(60000);
    if (script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0)
        throw EPainelError(
            QStringLiteral("fbserver.sh %1 failed: %2")
                .arg(command, QString::fromLocal8Bit(script.readAllStandardError())));
    return QString::fromLocal8Bit(script.readAllStandardOutput());
}

FbServer OwnServer::start() {
    const QString out = run(QStringLiteral("start"));
    FbServer server;
    static const QRegularExpression assignment(
        QStringLiteral("(PAINEL_FB_SERVER_\\w+)=([^;\\s]*)"));
    for (auto it = assignment.globalMatch(out); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(1) == QLatin1String("PAINEL_FB_SERVER_PORT"))
            server.port = m.captured(2).toInt();
        if (m.captured(1) == QLatin1String("PAINEL_FB_SERVER_ROOT")) server.root = m.captured(2);
        if (m.captured(1) == QLatin1String("PAINEL_FB_SERVER_PASSWORD"))
            server.password = m.captured(2);
    }
    if (server.port == 0) throw EPainelError(QStringLiteral("fbserver.sh printed no port: ") + out);
    return server;
}

void OwnServer::stop() {
    run(QStringLiteral("stop"));
}

OwnServer::~OwnServer() {
    try {
        stop();
    } catch (const EPainelError&) {
    }
}

QStringList embeddedParams() {
    return {QStringLiteral("user_name=SYSDBA"), QStringLiteral("password=masterkey")};
}

FbSession::FbSession(const QString& name, const QStringList& params) {
    const QByteArray path = cp1252::encode(name);
    QByteArray dpb(1, char(isc_dpb_version1));
    for (const auto& [item, key] :
         {std::pair{isc_dpb_user_name, "user_name"}, std::pair{isc_dpb_password, "password"}}) {
        const QByteArray value = cp1252::encode(param(params, QLatin1String(key)));
        dpb.append(char(item)).append(char(value.size())).append(value);
    }
    FbStatus status;
    testClient().attach_database(status.vector(), short(path.size()), path.constData(), &m_db,
                                 short(dpb.size()), dpb.constData());
    check(status);
}

FbSession FbSession::create(const QString& name, const QStringList& params, int dialect) {
    FbSession session;
    session.m_dialect = dialect;
    session.execute(QStringLiteral("CREATE DATABASE '%1' USER '%2' PASSWORD '%3' PAGE_SIZE 8192")
                        .arg(name, param(params, QStringLiteral("user_name")),
                             param(params, QStringLiteral("password"))),
                    &session.m_tr, dialect);
    return session;
}

FbSession::FbSession(FbSession&& other) noexcept
    : m_db(std::exchange(other.m_db, 0)), m_tr(std::exchange(other.m_tr, 0)),
      m_dialect(other.m_dialect) {}

FbSession::~FbSession() {
    try {
        detach();
    } catch (const EPainelError&) {
    }
}

void FbSession::detach() {
    FbStatus status;
    if (m_tr) testClient().rollback_transaction(status.vector(), &m_tr);
    m_tr = 0;
    if (m_db) testClient().detach_database(status.vector(), &m_db);
    m_db = 0;
}

void FbSession::execute(const QString& sql, isc_tr_handle* transaction, int dialect) {
    stationsql::execute(testClient(), &m_db, transaction, sql, dialect);
}

void FbSession::execute(const QString& sql) {
    if (m_tr) {
        execute(sql, &m_tr, m_dialect);
        return;
    }
    begin();
    try {
        execute(sql, &m_tr, m_dialect);
    } catch (...) {
        rollback();
        throw;
    }
    commit();
}

void FbSession::begin() {
    static const char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed,
                               isc_tpb_rec_version, isc_tpb_nowait};
    FbStatus status;
    testClient().start_transaction(status.vector(), &m_tr, short(1), &m_db, int(sizeof tpb), tpb);
    check(status);
}

void FbSession::commit() {
    FbStatus status;
    testClient().commit_transaction(status.vector(), &m_tr);
    check(status);
}

void FbSession::rollback() {
    FbStatus status;
    testClient().rollback_transaction(status.vector(), &m_tr);
    check(status);
}

void FbSession::runScript(const QString& text) {
    QString statement;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.trimmed().startsWith(QLatin1String("--"))) continue;
        statement += line + QLatin1Char('\n');
        if (line.trimmed().endsWith(QLatin1Char(';'))) {
            statement = statement.trimmed();
            statement.chop(1);
            execute(statement);
            statement.clear();
        }
    }
    if (!statement.trimmed().isEmpty()) execute(statement);
}

void FbSession::createSchema() {
    QFile file(sourceDir() + QStringLiteral("/db/schema.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw EPainelError(QStringLiteral("db/schema.sql missing"));
    runScript(QString::fromUtf8(file.readAll()));
}

QString sqlText(const std::optional<QString>& text) {
    return stationsql::literal(text);
}

void FbSession::addCounter(int indice, const QString& nome, const std::optional<QString>& apelido) {
    execute(QStringLiteral("INSERT INTO GUICHE (INDICE, NOME, APELIDO) VALUES (%1, %2, %3)")
                .arg(indice)
                .arg(sqlText(nome), sqlText(apelido)));
}

void FbSession::addCall(const CallRow& c) {
    execute(
        QStringLiteral("INSERT INTO GUICHELISTA (INDICE, CODIGOPAC, DATA, GUICHE, SENHA, STATUS, "
                       "NR_GUICHE_CHAMOU, DATAUSER2) VALUES (%1, %2, "
                       "DATEADD(%3 SECOND TO DATEADD(%4 DAY TO CAST(CURRENT_DATE AS TIMESTAMP))), "
                       "%5, %6, %8, %9, DATEADD(%7 SECOND TO CAST(CURRENT_DATE AS TIMESTAMP)))")
            .arg(c.indice)
            .arg(c.codigopac)
            .arg(c.secondsIntoDay)
            .arg(c.day)
            .arg(c.guiche)
            .arg(c.senha)
            .arg(c.order)
            .arg(sqlText(c.status), sqlText(c.chamou)));
}

QVariant FbSession::scalar(const QString& sql) {
    const bool own = !m_tr;
    if (own) begin();
    QVariant value;
    try {
        value = stationsql::scalar(testClient(), &m_db, &m_tr, sql, m_dialect);
    } catch (...) {
        if (own) rollback();
        throw;
    }
    if (own) commit();
    return value;
}
