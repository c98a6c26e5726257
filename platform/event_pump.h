#pragma once
// Lets the pending events of the UI thread run from inside a long operation (the all scan between
// rows, the probe while it waits for its reply or pauses). On any other thread the waits simply
// block and processEvents does nothing.
#include <poll.h>

#include <cerrno>

#include <algorithm>
#include <chrono>
#include <thread>

class IEventPump {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~IEventPump() = default;
    virtual bool onUiThread() const = 0;
    virtual void processEvents() = 0;
    // Waits until `fd` is readable (an error queued counts) or `deadline` passes; fd -1 waits for
    // the deadline alone. On the UI thread the event loop runs meanwhile, so a handler that holds
    // the loop (a modal dialog) may make it return late. True when fd became readable.
    virtual bool waitReadable(int fd, Clock::time_point deadline) = 0;

    // The blocking form, for threads without an event loop: one poll, no slices. A signal that
    // interrupts it (EINTR) is no time-out: the poll goes on with the time left.
    static bool pollReadable(int fd, Clock::time_point deadline) {
        if (fd < 0) {
            std::this_thread::sleep_until(deadline);
            return false;
        }
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            const int ms = static_cast<int>(std::clamp<int64_t>(left.count(), 0, 1 << 30));
            pollfd p{fd, POLLIN, 0};
            const int n = ::poll(&p, 1, ms);
            if (n >= 0) return n > 0;
            if (errno != EINTR) return false;
        }
    }
};
