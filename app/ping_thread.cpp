#include "app/ping_thread.h"

#include "app/main_window.h"

void TPingThread::Execute() {
    try {
        form_.MxICMP1.Ping();
    } catch (...) {
        // Nothing may unwind out of a thread; the lock is released below all the same.
    }
    // Queued behind the reply handling that Ping queued, so the release comes last.
    QMetaObject::invokeMethod(
        &form_, [form = &form_] { form->ReleaseSelectScan(); }, Qt::QueuedConnection);
}
