#pragma once
// TrayIcon shows one icon in the notification area while the main window is minimised there: a
// tooltip (its hint), an animation through the frames of its picture list plus one frame without
// a picture, a restore on one mouse release and a menu on another.
//
// Where the design's names are found:
//   TTrayIcon TrayIcon   Visible isVisible/setVisible   Hint hint/setHint
//   Animate isAnimating/setAnimating   IconIndex iconIndex/setIconIndex   Icons frames/setFrames
//   AnimateInterval animateInterval   PopupMenu setMenu   RestoreOn setRestoreOn
//   PopupMenuOn setMenuOn   Hide setHideSetting   OnRestore restored()   OnMinimize minimized()
//   Restore restore   Minimize minimize   ShowMenu showMenu   TTrayIconMessage TrayMouse (im*
//   values)
#include <QHash>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QVector>
#include <stdexcept>

#include "platform/notification_area.h"

class QMenu;
class QWidget;

class EOutOfResources : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The mouse events a restore or the menu can be bound to, in the design's order (im… there).
enum class TrayMouse {
    Click,
    DoubleClick,
    MouseDown,
    MouseUp,
    LeftClickUp,
    LeftDoubleClick,
    RightClickUp,
    RightDoubleClick,
    None
};

class TrayIcon : public QObject {
    Q_OBJECT
public:
    // `window` is the window that minimize() hides and restore() brings back.
    TrayIcon(INotificationArea& area, QIcon appIcon, QWidget* window, QObject* parent = nullptr);
    ~TrayIcon() override;

    bool isVisible() const { return visible_; }
    // Raises EOutOfResources when the notification area refuses the icon or its removal.
    void setVisible(bool v);
    const QString& hint() const { return hint_; }
    // Taken only when it differs and is shorter than 64 bytes in code page 932.
    void setHint(const QString& t);
    // A line the tooltip shows after the hint (empty: none), and a mark drawn over the lower
    // right of every picture the icon shows (null: none), frames of the animation included.
    void setSummary(const QString& line);
    void setMark(const QIcon& mark);
    bool isAnimating() const { return animate_; }
    void setAnimating(bool v);
    int iconIndex() const { return iconIndex_; }
    void setIconIndex(int i);
    void setFrames(const QVector<QIcon>* icons) {
        icons_ = icons;
        marked_.clear();
    }
    const QVector<QIcon>* frames() const { return icons_; }
    int animateInterval() const { return animateInterval_; }
    void setAnimateInterval(int ms);

    void restore();
    void minimize();
    void showMenu();
    // The window reports that it was minimised (from the maximised state or not) and where its
    // client area is in the normal state; while the icon is shown this hides it, and Restore
    // brings it back in that state.
    void windowMinimized(bool wasMaximized = false, const QRect& normalGeometry = {});
    // A mouse release (or another click) on the icon.
    void handleClick(INotificationArea::Click click);
    // One step of the animation.
    void nextFrame();
    // Whether the desktop has a notification area to minimise into.
    bool areaExists() { return area_.exists(); }
    // Asks to hear (areaArrived) when a notification area comes.
    void awaitArea() { area_.awaitArrival(); }
    // A target answered: a window minimised to the task bar (no notification area) asks for
    // attention there, in the place of the icon's animation.
    void notifyOnline();
    // The session is ending: take the icon away.
    void sessionEnding();

    // The picture currently on show: -1 the application's icon, -2 no picture, else a frame.
    int shownPicture() const { return picture_; }
    const QString& toolTip() const { return toolTip_; }

    // The icon's menu, the mouse events that restore the window and open the menu.
    void setMenu(QMenu* menu) { menu_ = menu; }
    void setRestoreOn(TrayMouse m) { restoreOn_ = m; }
    TrayMouse restoreOn() const { return restoreOn_; }
    void setMenuOn(TrayMouse m) { menuOn_ = m; }
    TrayMouse menuOn() const { return menuOn_; }
    // Stored and changes nothing: the task bar entry is hidden whenever the window is in the tray.
    void setHideSetting(bool hide) { hideSetting_ = hide; }

signals:
    void restored();     // after every restore
    void minimized();    // after every minimise into the tray
    void areaArrived();  // a notification area came, after awaitArea()

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMenu* menu_ = nullptr;
    TrayMouse restoreOn_ = TrayMouse::DoubleClick;
    TrayMouse menuOn_ = TrayMouse::None;
    bool hideSetting_ = false;
    bool restoreMaximized_ = false;
    QRect normalGeometry_;
    void update();
    // The notification area went away while the icon was in it: the window must not stay lost.
    void areaGone();
    // What the window is to do once it is on screen (mapped and exposed).
    enum class AfterMap { Nothing, Minimize, Maximize };
    void whenMapped(AfterMap then);
    AfterMap afterMap_ = AfterMap::Nothing;
    QIcon pictureIcon() const;
    void showToolTip();

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
    QString summary_;
    QString toolTip_;
    QIcon mark_;
    mutable QHash<int, QIcon> marked_;  // each picture with the mark, drawn when first shown
    QTimer frameTimer_;
};
