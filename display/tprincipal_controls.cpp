// The main window's behaviour apart from calls: the clock, the video's replay, the calls grid's
// cells and the mouse controls.

#include "base/errors.h"
#include "db/callsquery.h"
#include "display/callsgrid.h"
#include "display/clockformat.h"
#include "display/colors.h"
#include "display/panel.h"
#include "display/tprincipal.h"
#include "media/mediaplayer.h"

#include <QDateTime>
#include <QFontMetrics>

namespace {

TextFits fitsIn(const TPanel* panel) {
    return [metrics = QFontMetrics(panel->font()), width = panel->width()](const QString& text) {
        return metrics.horizontalAdvance(text) <= width;
    };
}

} // namespace

void TPrincipal::Timer1Timer(QObject*) {
    // Two readings of the clock, the time first.
    const QLocale locale = QLocale::system();
    Panel1->setText(clockTimeText(m_env.clock().time(), locale, fitsIn(Panel1)));
    Panel2->setText(clockDateText(m_env.clock().date(), locale, fitsIn(Panel2)));
}

void TPrincipal::GridDrawColumnCell(QObject*, const QRect& Rect, int DataCol, const GridColumn&,
                                    unsigned State) {
    GridCanvas& canvas = Grid->Canvas();
    const QColor kept = canvas.brush;
    const int n = Grid->RecNo();
    if (n % 2 == 0) return; // even records keep the grid's own painting
    if (State == 0) {
        canvas.brush = colors::band;
        canvas.fontColor = colors::black;
    } else {
        canvas.brush = colors::highlight();
        canvas.fontColor = colors::highlightText();
    }
    Grid->DefaultDrawColumnCell(Rect, Grid->cellText(n - 1, DataCol));
    canvas.brush = kept;
}

void TPrincipal::Label2DblClick(QObject*) {
    guarded(*m_errors, [this] { GUICHELISTA->open(); });
}

void TPrincipal::Panel1DblClick(QObject*) {
    Grid->setHidden(!Grid->isHidden());
    Panel9->setText(QStringLiteral("PAINEL DE CHAMADOS"));
}

void TPrincipal::SpeedButton1Click(QObject*) { close(); }

// An error that the replay tick raises every second (a video that cannot be opened) is reported
// once, and again only after a tick has played and it has come back.
void TPrincipal::Timer2Timer(QObject*) {
    try {
        VIDEO1->Play();
        m_replayError.clear();
    } catch (const EPainelError& e) {
        if (std::exchange(m_replayError, e.text()) != e.text()) m_errors->showError(e.text());
    }
}

void TPrincipal::PanelVideoDblClick(QObject*) {
    guarded(*m_errors, [this] { VIDEO1->Open(); });
}
