#pragma once
// The UI thread's pump: waits run a local event loop that a socket notifier and a precise timer
// end, so events are served the moment they come and the reply is noticed the moment it lands.
#include "platform/event_pump.h"

class QtEventPump : public IEventPump {
public:
    bool OnUiThread() const override;
    void ProcessEvents() override;
    bool WaitReadable(int fd, Clock::time_point deadline) override;
};
