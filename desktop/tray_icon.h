#pragma once
// TrayIcon shows one icon in the notification area while the main window is minimised there: a
// tooltip (Hint), an animation through the frames of its picture list plus one frame without a
// picture, a restore on one mouse release and a menu on another.
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVector>
#include <functional>
#include <stdexcept>

#include "platform/notification_area.h"

class QMenu;
class QWidget;

class EOutOfResources : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TrayIconMessage {
    imClick,
    imDoubleClick,
    imMouseDown,
    imMouseUp,
    imLeftClickUp,
    imLeftDoubleClick,
    imRightClickUp,
    imRightDoubleClick,
    imNone
};

class TrayIcon : public QObject {
    Q_OBJECT
public:
    // `window` is the window that Minimize hides and Restore brings back.
    TrayIcon(INotificationArea& area, QIcon appIcon, QWidget* window, QObject* parent = nullptr);
    ~TrayIcon() override;

    bool Visible() const { return visible_; }
    // Raises EOutOfResources when the notification area refuses the icon or its removal.
    void SetVisible(bool v);
    const QString& Hint() const { return hint_; }
    // Taken only when it differs and is shorter than 64 bytes in code page 932.
    void SetHint(const QString& t);
    bool Animate() const { return animate_; }
    void SetAnimate(bool v);
    int IconIndex() const { return iconIndex_; }
    void SetIconIndex(int i);
    void SetIcons(const QVector<QIcon>* icons) { icons_ = icons; }
    const QVector<QIcon>* Icons() const { return icons_; }
    int AnimateInterval() const { return animateInterval_; }
    void SetAnimateInterval(int ms);

    void Restore();
    void Minimize();
    void ShowMenu();
    // The window reports that it was minimised (from the maximised state or not); while the icon is
    // shown this hides it, and Restore brings it back in that state.
    void WindowMinimized(bool wasMaximized = false);
    // A mouse release (or another click) on the icon.
    void HandleClick(INotificationArea::Click click);
    // One step of the animation.
    void FrameTick();
    // Whether the desktop has a notification area to minimise into.
    bool AreaExists() { return area_.Exists(); }
    // A target answered: a window minimised to the task bar (no notification area) asks for
    // attention there, in the place of the icon's animation.
    void NotifyOnline();
    // The session is ending: take the icon away.
    void SessionEnding();

    // The picture currently on show: -1 the application's icon, -2 no picture, else a frame.
    int ShownPicture() const { return picture_; }
    const QString& ToolTip() const { return toolTip_; }

    QMenu* PopupMenu = nullptr;
    TrayIconMessage RestoreOn = imDoubleClick;
    TrayIconMessage PopupMenuOn = imNone;
    bool Hide = false;
    std::function<void()> OnRestore;
    std::function<void()> OnMinimize;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool restoreMaximized_ = false;
    void Update();
    // The notification area went away while the icon was in it: the window must not stay lost.
    void AreaGone();
    QIcon PictureIcon() const;

    INotificationArea& area_;
    QIcon appIcon_;
    QIcon blankIcon_;
    QPointer<QWidget> window_;
    const QVector<QIcon>* icons_ = nullptr;
    bool visible_ = false;
    bool animate_ = false;
    int iconIndex_ = 0;
    int animateInterval_ = 1000;
    int picture_ = -1;
    int sentPicture_ = -3;  // what the notification area has, so unchanged frames are not re-sent
    QString hint_;
    QString toolTip_;
    QTimer frameTimer_;
};
