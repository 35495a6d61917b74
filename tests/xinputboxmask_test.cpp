// The key prompt "Entre com a Chave": layout, the keys that close it and those that do not,
// and the key it hands back.

#include "display/xinputboxmask.h"
#include "tests/support/qtapp.h"
#include "tests/support/qtprint.h"

#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <functional>

namespace {

class KeyPrompt : public testing::Test {
protected:
    void SetUp() override { testApplication(); }

    // Shows the prompt as the operator sees it: visible, active, the edit focused.
    void showPrompt(TImputBoxMask& d) {
        d.show();
        d.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    }
};

TEST_F(KeyPrompt, Layout) {
    TImputBoxMask d;
    EXPECT_EQ(d.objectName(), "ImputBoxMask");
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Entre com a Chave"));
    EXPECT_EQ(d.size(), QSize(250, 90));
    EXPECT_EQ(d.minimumSize(), QSize(250, 90));
    EXPECT_EQ(d.maximumSize(), QSize(250, 90));
    const Qt::WindowFlags f = d.windowFlags();
    EXPECT_TRUE(f.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(f.testFlag(Qt::CustomizeWindowHint));
    EXPECT_FALSE(f.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(f.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(f.testFlag(Qt::WindowContextHelpButtonHint));
    EXPECT_EQ(d.font().family(), "System");
    EXPECT_EQ(d.font().pixelSize(), 11);
    EXPECT_TRUE(d.font().bold());
    EXPECT_EQ(d.palette().color(QPalette::Window), d.palette().color(QPalette::Button));

    const struct {
        QWidget* widget;
        const char* name;
        QWidget* parent;
        QRect geometry;
    } elements[] = {
        {d.Panel1, "Panel1", &d, QRect(0, 0, 250, 54)},
        {d.Label1, "Label1", d.Panel1, QRect(8, 5, 95, 16)},
        {d.EditChave, "EditChave", d.Panel1, QRect(8, 23, 233, 22)},
        {d.BitBtn1, "BitBtn1", &d, QRect(31, 60, 184, 25)},
    };
    for (const auto& e : elements) {
        EXPECT_EQ(e.widget->objectName(), e.name);
        EXPECT_EQ(e.widget->parentWidget(), e.parent) << e.name;
        EXPECT_EQ(e.widget->geometry(), e.geometry) << e.name;
        EXPECT_EQ(e.widget->font(), d.font()) << e.name;
    }
    EXPECT_EQ(d.Label1->text(), "Digite a Chave");
    EXPECT_FALSE(d.EditChave->hasFrame());
    EXPECT_EQ(d.EditChave->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(d.EditChave->text().isEmpty());
    EXPECT_TRUE(d.EditChave->inputMask().isEmpty());
    EXPECT_EQ(d.BitBtn1->text(), "&Ok");
    EXPECT_FALSE(d.BitBtn1->isDefault());
    EXPECT_FALSE(d.BitBtn1->autoDefault());
}

TEST_F(KeyPrompt, CentredOnTheScreen) {
    TImputBoxMask d;
    showPrompt(d);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    // The whole window, frame included.
    EXPECT_EQ(d.frameGeometry().center(), screen.center());
}

TEST_F(KeyPrompt, PanelHasLoweredOuterAndRaisedInnerBevel) {
    TImputBoxMask d;
    showPrompt(d);
    const QImage img = d.Panel1->grab().toImage();
    const QColor dark = d.palette().color(QPalette::Dark);
    const QColor light = d.palette().color(QPalette::Light);
    ASSERT_NE(dark, light);
    const struct {
        QPoint at;
        QColor colour;
        const char* edge;
    } pixels[] = {
        {{0, 27}, dark, "outer left"},    {{125, 0}, dark, "outer top"},
        {{249, 27}, light, "outer right"}, {{125, 53}, light, "outer bottom"},
        {{1, 27}, light, "inner left"},   {{125, 1}, light, "inner top"},
        {{248, 27}, dark, "inner right"}, {{125, 52}, dark, "inner bottom"},
    };
    for (const auto& p : pixels) EXPECT_EQ(img.pixelColor(p.at).rgb(), p.colour.rgb()) << p.edge;
}

TEST_F(KeyPrompt, EditHasTheFocusAndShowsAsterisks) {
    TImputBoxMask d;
    showPrompt(d);
    EXPECT_TRUE(d.EditChave->hasFocus());
    QTest::keyClicks(d.EditChave, "se gredo");
    EXPECT_EQ(d.EditChave->text(), "se gredo");
    EXPECT_EQ(d.EditChave->displayText(), "********");
    // Tab leads to the Ok button.
    QTest::keyClick(d.EditChave, Qt::Key_Tab);
    EXPECT_TRUE(d.BitBtn1->hasFocus());
}

TEST_F(KeyPrompt, KeepsLongKeys) {
    TImputBoxMask d;
    const QString key(40000, u'k');
    d.EditChave->setText(key);
    EXPECT_EQ(d.EditChave->text(), key);
}

TEST_F(KeyPrompt, KeysThatDoNotCloseIt) {
    const struct {
        bool onButton; // the key goes to the Ok button instead of the edit
        Qt::Key key;
        const char* what;
    } cases[] = {
        {false, Qt::Key_Return, "Enter in the edit"},
        {false, Qt::Key_Enter, "keypad Enter in the edit"},
        {false, Qt::Key_Escape, "Esc in the edit"},
        {true, Qt::Key_Escape, "Esc on the button"},
    };
    for (const auto& c : cases) {
        TImputBoxMask d;
        showPrompt(d);
        QSignalSpy finished(&d, &QDialog::finished);
        QTest::keyClicks(d.EditChave, "abc");
        QWidget* target = c.onButton ? static_cast<QWidget*>(d.BitBtn1) : d.EditChave;
        target->setFocus();
        QTest::keyClick(target, c.key, c.key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QCoreApplication::processEvents();
        EXPECT_TRUE(d.isVisible()) << c.what;
        EXPECT_EQ(finished.count(), 0) << c.what;
        EXPECT_EQ(d.EditChave->text(), "abc") << c.what;
    }
}

TEST_F(KeyPrompt, WaysThatCloseIt) {
    const struct {
        std::function<void(TImputBoxMask&)> act;
        int result;
        const char* what;
    } cases[] = {
        {[](TImputBoxMask& d) { QTest::mouseClick(d.BitBtn1, Qt::LeftButton); }, QDialog::Accepted, "click on Ok"},
        {[](TImputBoxMask& d) { QTest::keyClick(d.EditChave, Qt::Key_O, Qt::AltModifier); }, QDialog::Accepted,
         "Alt+O"},
        {[](TImputBoxMask& d) {
             d.BitBtn1->setFocus();
             QTest::keyClick(d.BitBtn1, Qt::Key_Return);
         },
         QDialog::Accepted, "Enter on Ok"},
        {[](TImputBoxMask& d) {
             d.BitBtn1->setFocus();
             QTest::keyClick(d.BitBtn1, Qt::Key_Space);
         },
         QDialog::Accepted, "Space on Ok"},
        {[](TImputBoxMask& d) { d.close(); }, QDialog::Rejected, "close box"},
    };
    for (const auto& c : cases) {
        TImputBoxMask d;
        showPrompt(d);
        QSignalSpy finished(&d, &QDialog::finished);
        QTest::keyClicks(d.EditChave, "chave 1");
        c.act(d);
        // Alt+O presses the button with its short animation.
        EXPECT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; })) << c.what;
        EXPECT_FALSE(d.isVisible()) << c.what;
        EXPECT_EQ(d.result(), c.result) << c.what;
        EXPECT_EQ(d.EditChave->text(), "chave 1") << c.what;
    }
}

// Runs action on the prompt once askKey has shown and activated it. Should that not happen
// within 20 seconds, closes whatever modal window there is so that the test fails instead of
// hanging.
void whenPromptShown(std::function<void(TImputBoxMask&)> action) {
    auto* poll = new QTimer;
    auto* deadline = new QElapsedTimer;
    deadline->start();
    QObject::connect(poll, &QTimer::timeout, [poll, deadline, action] {
        auto* d = qobject_cast<TImputBoxMask*>(QApplication::activeModalWidget());
        const bool ready = d && d->isVisible() && d->isActiveWindow();
        if (!ready && deadline->elapsed() < 20000) return;
        poll->stop();
        poll->deleteLater();
        delete deadline;
        if (ready)
            action(*d);
        else if (QWidget* w = QApplication::activeModalWidget())
            w->close();
    });
    poll->start(5);
}

TEST_F(KeyPrompt, AskKeyReturnsTheTextHowEverItCloses) {
    const struct {
        QString typed;
        bool okButton;
    } cases[] = {
        {"minha chave", true},
        {"", true},
        {"fechada", false},
        {"", false},
    };
    for (const auto& c : cases) {
        whenPromptShown([c](TImputBoxMask& d) {
            EXPECT_TRUE(d.EditChave->hasFocus());
            QTest::keyClicks(d.EditChave, c.typed);
            if (c.okButton)
                QTest::mouseClick(d.BitBtn1, Qt::LeftButton);
            else
                d.close();
        });
        EXPECT_EQ(TImputBoxMask::askKey(), c.typed);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

TEST_F(KeyPrompt, OtherTimersRunWhileItIsOpen) {
    int ticks = 0;
    QTimer clock;
    QObject::connect(&clock, &QTimer::timeout, [&] {
        // Close the prompt once the clock has ticked a few times while it is open.
        if (++ticks == 5) {
            if (auto* d = qobject_cast<TImputBoxMask*>(QApplication::activeModalWidget())) {
                QTest::keyClicks(d->EditChave, "tick");
                d->BitBtn1->click();
            }
        }
    });
    // Should the clock stand still, this ends the prompt so that the test fails instead of hanging.
    QTimer::singleShot(20000, [] {
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    clock.start(1);
    EXPECT_EQ(TImputBoxMask::askKey(), "tick");
    EXPECT_GE(ticks, 5);
}

} // namespace
