#include "platform/qt_event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <memory>

bool QtEventPump::onUiThread() const {
    auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void QtEventPump::processEvents() {
    if (onUiThread()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool QtEventPump::waitReadable(int fd, Clock::time_point deadline) {
    if (!onUiThread()) return pollReadable(fd, deadline);
    bool readable = false;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return readable;
        QEventLoop loop;
        std::unique_ptr<QSocketNotifier> notifier;
        if (fd >= 0) {
            notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
            QObject::connect(notifier.get(), &QSocketNotifier::activated, &loop, [&] {
                readable = true;
                notifier->setEnabled(false);
                loop.quit();
            });
        }
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(static_cast<int>(std::min<int64_t>(left.count(), 1 << 30)));
        loop.exec();
        if (readable) return true;
        // Otherwise the timer fired, or a quit meant for every loop (the program ending) ended
        // this one early: then the wait goes on to its deadline, and the caller finishes its
        // attempt before it honours the stop.
    }
}
