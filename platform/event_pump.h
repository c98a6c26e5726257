#pragma once
// Lets the pending events of the UI thread run from inside a long operation (the all scan between
// rows, the probe while it waits). On any other thread it does nothing.
class IEventPump {
public:
    virtual ~IEventPump() = default;
    virtual bool OnUiThread() const = 0;
    virtual void ProcessEvents() = 0;
};
