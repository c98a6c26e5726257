#pragma once
// A desktop notification (the small message a desktop shows in a corner): one title and body;
// clicking it reports back through onActivated. Where no notification service runs, nothing
// happens and nothing is reported. A notification replaces the last one the program sent that is
// still shown, so a run of them leaves one; an alert (news of trouble) is critical, stays until
// the user sees it, and is never replaced.
#include <QString>
#include <functional>

class IDesktopNotifier {
public:
    virtual ~IDesktopNotifier() = default;
    // Never waits for the service: a slow or missing one costs the caller nothing.
    virtual void notify(const QString& title, const QString& body) = 0;
    virtual void alert(const QString& title, const QString& body) = 0;
    std::function<void()> onActivated;
};
