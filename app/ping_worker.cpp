#include "app/ping_worker.h"

#include "probe/mx_icmp.h"

void PingWorker::run() {
    try {
        probe_.Ping();
    } catch (...) {
        // Nothing may unwind out of a thread; the completion below runs all the same.
    }
    done_();
}
