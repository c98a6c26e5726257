#pragma once
#include "platform/event_pump.h"

class QtEventPump : public IEventPump {
public:
    bool OnUiThread() const override;
    void ProcessEvents() override;
};
