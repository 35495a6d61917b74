#include "media/quietloop.h"

#include <QCoreApplication>
#include <QList>
#include <QPointer>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QTimer>

namespace {

class SocketNoticeHold : public QObject {
public:
    SocketNoticeHold() { QCoreApplication::instance()->installEventFilter(this); }
    ~SocketNoticeHold() override {
        QCoreApplication::instance()->removeEventFilter(this);
        for (const QPointer<QSocketNotifier>& n : m_held)
            if (n) n->setEnabled(true);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::SockAct && e->type() != QEvent::SockClose) return false;
        auto* notifier = qobject_cast<QSocketNotifier*>(watched);
        if (!notifier) return false;
        notifier->setEnabled(false);
        if (!m_held.contains(notifier)) m_held.append(notifier);
        return true;
    }

private:
    QList<QPointer<QSocketNotifier>> m_held;
};

int g_running = 0;

}  // namespace

bool QuietLoop::running() { return g_running > 0; }

bool QuietLoop::execFor(int timeoutMs) {
    bool timedOut = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, [&] {
        timedOut = true;
        quit();
    });
    deadline.start(timeoutMs);
    SocketNoticeHold hold;
    ++g_running;
    const auto done = qScopeGuard([] { --g_running; });
    exec(QEventLoop::ExcludeSocketNotifiers | QEventLoop::ExcludeUserInputEvents);
    return !timedOut;
}
