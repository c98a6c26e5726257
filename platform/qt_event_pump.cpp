#include "platform/qt_event_pump.h"

#include <QCoreApplication>
#include <QThread>

bool QtEventPump::OnUiThread() const {
    auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void QtEventPump::ProcessEvents() {
    if (OnUiThread()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}
