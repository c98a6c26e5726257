#pragma once
// The UI thread's pump: waits run a local event loop that a socket notifier and a precise timer
// end, so events are served the moment they come and the reply is noticed the moment it lands.
#include "platform/event_pump.h"

class QtEventPump : public IEventPump {
public:
    bool onUiThread() const override;
    void processEvents() override;
    bool waitReadable(int fd, Clock::time_point deadline) override;
};
