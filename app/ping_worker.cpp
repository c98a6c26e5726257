#include "app/ping_worker.h"

#include "probe/echo_probe.h"

void PingWorker::run() {
    try {
        probe_.ping(address_);
    } catch (...) {
        // Nothing may unwind out of a thread; the completion below runs all the same.
    }
    done_();
}
