// The main window's calls list: what the double-click on "Data" does, and the list after a call.

#include "db/callsquery.h"
#include "display/callsgrid.h"
#include "tests/support/cyclefixture.h"
#include "tests/support/firebird.h"

#include <QTest>

namespace {

class CallsListTest : public CycleFixture {};

TEST_F(CallsListTest, DoubleClickOnDataRunsNoQueryWhileTheListIsOpen) {
    startPanel({"0", "1", "N", "N"});
    FbSession station(database(), embeddedParams());
    station.addCounter(1, "GUICHE 1", QStringLiteral("G1"));
    station.addCall({.indice = 1, .guiche = 1, .senha = 15, .chamou = QStringLiteral("1")});
    ASSERT_EQ(window->GUICHELISTA->rowCount(), 0);
    window->Label2DblClick(nullptr);
    EXPECT_EQ(window->GUICHELISTA->rowCount(), 0); // not read again
    // Closed (after a failed re-query, say), the double-click opens it again.
    window->GUICHELISTA->close();
    window->Label2DblClick(nullptr);
    EXPECT_TRUE(window->GUICHELISTA->isActive());
    ASSERT_EQ(window->GUICHELISTA->rowCount(), 1);
    EXPECT_EQ(window->Grid->cellText(0, 2), QStringLiteral("G1-15"));
    EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
}

TEST_F(CallsListTest, EveryCallReadsTheListAgainNewestFirst) {
    startPanel({"0", "1", "N", "N"});
    FbSession station(database(), embeddedParams());
    station.addCounter(1, QStringLiteral("RECEPÇÃO"), QStringLiteral("REC"));
    station.addCall({.indice = 1, .guiche = 1, .senha = 7, .chamou = QStringLiteral("41"), .order = 10});
    station.addCall({.indice = 2, .guiche = 1, .senha = 8, .chamou = QStringLiteral("42"), .order = 20});
    ASSERT_TRUE(sendCall(port(), "refresh"));
    QTRY_COMPARE_WITH_TIMEOUT(window->GUICHELISTA->rowCount(), 2, 5000);
    EXPECT_EQ(window->Grid->cellText(0, 0), QStringLiteral("42"));
    EXPECT_EQ(window->Grid->cellText(0, 1), QStringLiteral("RECEPÇÃO"));
    EXPECT_EQ(window->Grid->cellText(1, 2), QStringLiteral("REC-7"));
    EXPECT_EQ(window->Grid->currentIndex().row(), 0);
}

TEST_F(CallsListTest, AReQueryMakesRecordOneCurrentAgainAfterTheUserChoseAnother) {
    startPanel({"0", "1", "N", "N"});
    FbSession station(database(), embeddedParams());
    station.addCounter(1, QStringLiteral("GUICHE 1"), QStringLiteral("G1"));
    for (int i = 1; i <= 3; ++i)
        station.addCall({.indice = i, .guiche = 1, .senha = i, .chamou = QStringLiteral("1"), .order = i});
    ASSERT_TRUE(sendCall(port(), "refresh"));
    QTRY_COMPARE_WITH_TIMEOUT(window->GUICHELISTA->rowCount(), 3, 5000);
    ASSERT_EQ(window->Grid->currentIndex().row(), 0);

    // The user makes the third row current.
    QCoreApplication::processEvents();
    const QModelIndex third = window->Grid->model()->index(2, window->Grid->currentIndex().column());
    QTest::mouseClick(window->Grid->viewport(), Qt::LeftButton, {}, window->Grid->visualRect(third).center());
    ASSERT_EQ(window->Grid->currentIndex().row(), 2);
    ASSERT_EQ(window->Grid->RecNo(), 3);

    // A call arrives: the list is read again and its first record is current.
    station.addCall({.indice = 4, .guiche = 1, .senha = 4, .chamou = QStringLiteral("1"), .order = 4});
    ASSERT_TRUE(sendCall(port(), "refresh"));
    QTRY_COMPARE_WITH_TIMEOUT(window->GUICHELISTA->rowCount(), 4, 5000);
    EXPECT_EQ(window->Grid->currentIndex().row(), 0);
    EXPECT_EQ(window->Grid->RecNo(), 1);
    EXPECT_EQ(window->Grid->cellText(0, 2), QStringLiteral("G1-4"));
    const QModelIndexList selected = window->Grid->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.first().row(), 0);
    EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
}

} // namespace
