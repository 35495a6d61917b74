// How long a re-query of the calls list takes, and what the fetched list holds in memory, in a
// database of 1,000,000 calls of which 2,000 are today's, without and with an index on
// GUICHELISTA.DATA. Prints the figures side by side, with isql-fb's time for the same query.
//
//   requery_bench [runs]      (default 15 timed re-queries per figure, after 2 warm-ups)

#include "base/errors.h"
#include "db/callsquery.h"
#include "db/database.h"
#include "db/transaction.h"
#include "tests/support/firebird.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <vector>

namespace {

constexpr int kCalls = 1000000;
constexpr int kToday = 2000;
constexpr int kScreenful = 12;

struct Figures {
    double firstScreenMs = 0;
    double wholeDayMs = 0;
    double isqlElapsedMs = 0;
    double isqlProcessMs = 0;
    long long listBytes = 0;
    int rows = 0;
    int blocks = 0;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double msSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

void fill(FbSession& station) {
    station.createSchema();
    station.addCounter(1, QStringLiteral("RECEPÇÃO - GUICHE 1"), QStringLiteral("REC"));
    station.addCounter(2, QStringLiteral("CONSULTÓRIO 2"), QStringLiteral("CONS"));
    // Earlier days first, 2,000 calls a day, then today's: the table grows as the days go by.
    station.execute(
        QStringLiteral(
            "EXECUTE BLOCK AS DECLARE I INTEGER = 1; DECLARE D INTEGER; BEGIN "
            "WHILE (I <= %1) DO BEGIN "
            "D = IIF(I > %2, 0, -1 - (%2 - I) / %3); "
            "INSERT INTO GUICHELISTA (INDICE, CODIGOPAC, DATA, GUICHE, SENHA, STATUS, "
            "NR_GUICHE_CHAMOU, DATAUSER2) VALUES (:I, 100000 + MOD(:I, 50000), "
            "DATEADD(:D DAY TO CAST(CURRENT_DATE AS TIMESTAMP)), 1 + MOD(:I, 2), MOD(:I, 999) + 1, "
            "'A', 'GUICHE ' || MOD(:I, 12), "
            "DATEADD(MOD(:I, %3) * 30 SECOND TO DATEADD(:D DAY TO CAST(CURRENT_DATE AS "
            "TIMESTAMP)))); "
            "I = I + 1; END END")
            .arg(kCalls)
            .arg(kCalls - kToday)
            .arg(kToday));
}

// isql-fb runs the list's query against the same file, as a second process (the private root's
// SuperClassic mode lets it share the file). Returns its own elapsed-time figure and the
// process's wall time, both in ms.
std::pair<double, double> isqlTimes(const QString& path) {
    QProcess isql;
    QElapsedTimer timer;
    timer.start();
    isql.start(QStringLiteral("isql-fb"),
               {QStringLiteral("-q"), QStringLiteral("-user"), QStringLiteral("SYSDBA"), path});
    isql.waitForStarted();
    const QString script =
        QStringLiteral("SET STATS ON;\n") + CallsQuery::sqlText() + QStringLiteral(";\nQUIT;\n");
    isql.write(script.toUtf8());
    isql.closeWriteChannel();
    isql.waitForFinished(120000);
    const double wall = msSince(timer);
    const QString out = QString::fromLocal8Bit(isql.readAllStandardOutput());
    static const QRegularExpression elapsed(QStringLiteral("Elapsed time\\s*=\\s*([0-9.]+)"));
    const auto m = elapsed.match(out);
    return {m.hasMatch() ? m.captured(1).toDouble() * 1000.0 : -1.0, wall};
}

Figures measure(const QString& path, int runs) {
    Figures f;
    Database Fatura(testClient());
    Fatura.setDatabaseName(path);
    Fatura.params() = embeddedParams();
    Transaction TransFatura(Fatura);
    CallsQuery GUICHELISTA(Fatura, TransFatura);

    std::vector<double> first, whole;
    for (int run = -2; run < runs; ++run) {
        QElapsedTimer timer;
        GUICHELISTA.setFetchStep(kScreenful);
        timer.start();
        GUICHELISTA.requery();
        const double screen = msSince(timer);
        GUICHELISTA.setFetchStep(1000);
        while (GUICHELISTA.canFetchMore())
            GUICHELISTA.fetchMore();
        const double day = msSince(timer);
        if (run >= 0) {
            first.push_back(screen);
            whole.push_back(day);
        }
    }
    f.firstScreenMs = median(first);
    f.wholeDayMs = median(whole);

    // The list's memory: from closed (statement prepared) to every row of the day fetched.
    GUICHELISTA.close();
    malloc_trim(0);
    const auto before = mallinfo2().uordblks;
    GUICHELISTA.setFetchStep(kScreenful);
    GUICHELISTA.open();
    GUICHELISTA.setFetchStep(1000);
    while (GUICHELISTA.canFetchMore())
        GUICHELISTA.fetchMore();
    f.listBytes = (long long)mallinfo2().uordblks - (long long)before;
    f.rows = GUICHELISTA.rowCount();
    f.blocks = GUICHELISTA.blockCount();

    std::vector<double> isqlElapsed, isqlWall;
    for (int run = 0; run < std::max(3, runs / 3); ++run) {
        const auto [elapsed, wall] = isqlTimes(path);
        isqlElapsed.push_back(elapsed);
        isqlWall.push_back(wall);
    }
    f.isqlElapsedMs = median(isqlElapsed);
    f.isqlProcessMs = median(isqlWall);
    return f;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    try {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("fatura.FDB"));
        QElapsedTimer timer;
        timer.start();
        {
            FbSession station = FbSession::create(path, embeddedParams());
            fill(station);
        }
        const double fillSeconds = msSince(timer) / 1000.0;

        const Figures plain = measure(path, runs);
        {
            FbSession station(path, embeddedParams());
            station.execute(QStringLiteral("CREATE INDEX GUICHELISTA_DATA ON GUICHELISTA (DATA)"));
        }
        const Figures indexed = measure(path, runs);

        std::printf("Calls list re-query, embedded Firebird, %d processor cores\n",
                    QThread::idealThreadCount());
        std::printf(
            "Database: %d calls, %d of them today (filled in %.1f s); median of %d runs\n\n",
            kCalls, kToday, fillSeconds, runs);
        std::printf("%-48s %16s %16s\n", "", "no index on DATA", "index on DATA");
        std::printf("%-48s %16.2f %16.2f\n", "re-query to the first 12 rows (ms)",
                    plain.firstScreenMs, indexed.firstScreenMs);
        std::printf("%-48s %16.2f %16.2f\n", "re-query to the whole day, 2,000 rows (ms)",
                    plain.wholeDayMs, indexed.wholeDayMs);
        std::printf("%-48s %16.2f %16.2f\n", "isql-fb, same query, its elapsed time (ms)",
                    plain.isqlElapsedMs, indexed.isqlElapsedMs);
        std::printf("%-48s %16.2f %16.2f\n", "isql-fb, same query, whole process (ms)",
                    plain.isqlProcessMs, indexed.isqlProcessMs);
        // The panel's time to the rows on screen against isql-fb's time for the query (which
        // also fetches and prints every row): the panel should need at most 1.2 times as long.
        std::printf("%-48s %16.2f %16.2f\n", "first 12 rows / isql-fb elapsed (target <= 1.2)",
                    plain.firstScreenMs / plain.isqlElapsedMs, indexed.firstScreenMs / indexed.isqlElapsedMs);
        std::printf("%-48s %16lld %16lld\n", "memory the list holds for the day (bytes)",
                    plain.listBytes, indexed.listBytes);
        const auto held = [](const Figures& f) {
            return QStringLiteral("%1 in %2").arg(f.rows).arg(f.blocks).toStdString();
        };
        std::printf("%-48s %16s %16s\n", "rows held, in blocks of 1000 records",
                    held(plain).c_str(), held(indexed).c_str());
    } catch (const EPainelError& e) {
        std::fprintf(stderr, "requery_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
