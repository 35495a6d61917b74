// The calls list shown by a real table view: the view fetches the rows it needs to fill its
// screen and more as it scrolls, never the whole day at once.

#include "db/callsquery.h"
#include "db/database.h"
#include "db/transaction.h"
#include "tests/support/firebird.h"
#include "tests/support/printers.h"
#include "tests/support/tempdir.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <gtest/gtest.h>

namespace {

TEST(CallsView, FetchesAScreenfulAndMoreAsItScrolls) {
    int argc = 1;
    char name[] = "callsview_test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    TestDir dir;
    const QString path = dir.file(QStringLiteral("fatura.FDB"));
    {
        FbSession station = FbSession::create(path, embeddedParams());
        station.createSchema();
        station.addCounter(1, QStringLiteral("CAIXA"), QStringLiteral("CX"));
        station.execute(QStringLiteral(
            "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 2500) DO BEGIN "
            "INSERT INTO GUICHELISTA (INDICE, CODIGOPAC, DATA, GUICHE, SENHA, DATAUSER2) VALUES "
            "(:I, :I, CURRENT_DATE, 1, :I, DATEADD(:I SECOND TO CAST(CURRENT_DATE AS TIMESTAMP))); "
            "I = I + 1; END END"));
    }
    Database Fatura(testClient());
    Fatura.setDatabaseName(path);
    Fatura.params() = embeddedParams();
    Transaction TransFatura(Fatura);
    CallsQuery GUICHELISTA(Fatura, TransFatura);
    GUICHELISTA.setFetchStep(16);

    QTableView grid;
    grid.verticalHeader()->setDefaultSectionSize(20);
    grid.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid.resize(600, 1000); // about 48 rows on screen, three fetch steps
    grid.setModel(&GUICHELISTA);
    grid.show();
    GUICHELISTA.open();
    for (int i = 0; i < 20; ++i)
        app.processEvents();

    const int visible = grid.viewport()->height() / 20;
    const int first = GUICHELISTA.rowCount();
    EXPECT_GE(first, visible) << "the view fills its screen";
    EXPECT_LT(first, visible + 2 * GUICHELISTA.fetchStep()) << "and fetches no more than that";

    for (int i = 0; i < 5; ++i) {
        grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
        app.processEvents();
    }
    EXPECT_GT(GUICHELISTA.rowCount(), first) << "scrolling to the end fetches more";
    EXPECT_LT(GUICHELISTA.rowCount(), 2500);

    GUICHELISTA.requery();
    for (int i = 0; i < 20; ++i)
        app.processEvents();
    EXPECT_EQ(GUICHELISTA.rowCount(), first) << "a re-query starts again from the top";
    EXPECT_EQ(grid.model()->index(0, 0).data().toString(), QStringLiteral("2500"));
}

} // namespace
