#pragma once
// One icon in the desktop's notification area, with a tooltip and mouse-release notifications.
#include <QIcon>
#include <QString>
#include <functional>

class INotificationArea {
public:
    enum class Click { LeftUp, RightUp, Other };
    virtual ~INotificationArea() = default;
    // False when the desktop offers no notification area (then nothing is shown).
    virtual bool Add() = 0;
    virtual bool Remove() = 0;
    virtual void SetIcon(const QIcon& icon) = 0;
    virtual void SetToolTip(const QString& text) = 0;
    std::function<void(Click)> onClick;
};
