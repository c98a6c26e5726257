#pragma once
// One icon in the desktop's notification area, with a tooltip, a menu and mouse-release
// notifications.
#include <QIcon>
#include <QString>
#include <functional>

class QMenu;
class QWidget;

class INotificationArea {
public:
    enum class Click { LeftUp, RightUp, Other };
    virtual ~INotificationArea() = default;
    // Whether the desktop has a notification area at all (stock GNOME has none).
    virtual bool exists() = 0;
    // False when the notification area refuses the icon.
    virtual bool add() = 0;
    virtual bool remove() = 0;
    virtual void setIcon(const QIcon& icon) = 0;
    virtual void setToolTip(const QString& text) = 0;
    // The icon's menu, which hosts of the StatusNotifierItem protocol show by themselves.
    virtual void setMenu(QMenu* menu) = 0;
    // Asks to hear (onArrived) when a notification area comes, once, e.g. a panel that starts
    // while the window is minimised to the task bar.
    virtual void awaitArrival() = 0;
    std::function<void()> onArrived;
    // Without an icon: the window's task bar entry asks for the user's attention.
    virtual void askAttention(QWidget* window) = 0;
    std::function<void(Click)> onClick;
    // The notification area went away while the icon was in it (its panel ended or crashed).
    std::function<void()> onGone;
};
