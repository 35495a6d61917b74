#include "calls/pausa.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

void Pausa(int seconds) {
    const QDeadlineTimer deadline(std::chrono::milliseconds(qint64(std::max(seconds, 0)) * 1000),
                                  Qt::PreciseTimer);
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    do {
        // The timer wakes the wait at the deadline when nothing else comes; it is armed again on
        // every turn, since a nested call may have run past it.
        wake.start(std::chrono::milliseconds(deadline.remainingTime() + 1));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    } while (!deadline.hasExpired());
}
