#include "display/xinputboxmask.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <qdrawutil.h>

#include <limits>

namespace {

// A panel with a lowered outer bevel and a raised inner bevel, one pixel each.
class BevelPanel : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        qDrawShadePanel(&p, rect(), palette(), true, 1);
        qDrawShadePanel(&p, rect().adjusted(1, 1, -1, -1), palette(), false, 1);
    }
};

// The style of the key edit: "*" for every character of the key.
class AsteriskStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return u'*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QFont systemFont() {
    QFont font(QStringLiteral("System"));
    font.setPixelSize(11);
    font.setBold(true);
    return font;
}

} // namespace

TImputBoxMask::TImputBoxMask(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      Panel1(new BevelPanel(this)), Label1(new QLabel(QStringLiteral("Digite a Chave"), Panel1)),
      EditChave(new QLineEdit(Panel1)), BitBtn1(new QPushButton(QStringLiteral("&Ok"), this)) {
    setObjectName(QStringLiteral("ImputBoxMask"));
    setWindowTitle(QStringLiteral("Entre com a Chave"));
    setFont(systemFont());
    setFixedSize(250, 90);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);

    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, 250, 54);

    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 5, 95, 16);

    EditChave->setObjectName(QStringLiteral("EditChave"));
    EditChave->setGeometry(8, 23, 233, 22);
    EditChave->setFrame(false);
    EditChave->setEchoMode(QLineEdit::Password);
    EditChave->setMaxLength(std::numeric_limits<int>::max());
    auto* asterisks = new AsteriskStyle;
    asterisks->setParent(this);
    EditChave->setStyle(asterisks);

    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(31, 60, 184, 25);
    BitBtn1->setAutoDefault(false);
    BitBtn1->setDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    setTabOrder(EditChave, BitBtn1);
    EditChave->setFocus();
}

void TImputBoxMask::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_placed) return;
    m_placed = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect g = screen->geometry();
        const QSize frame = frameGeometry().size();
        move(g.x() + (g.width() - frame.width()) / 2, g.y() + (g.height() - frame.height()) / 2);
    }
}

QString TImputBoxMask::askKey() {
    TImputBoxMask ImputBoxMask;
    ImputBoxMask.exec();
    return ImputBoxMask.EditChave->text();
}

void TImputBoxMask::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (BitBtn1->hasFocus()) BitBtn1->click();
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
