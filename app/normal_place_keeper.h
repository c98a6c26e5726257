#pragma once
// Keeps the place a window has in the normal state, which Qt loses on some window managers:
// xfwm4 resizes a window to the screen before it says the window is maximised, so Qt takes the
// maximised size for the normal one, and a minimised window reports its maximised size as normal.
// A place is taken only once the window has settled in the normal state, shown, after the events
// of one turn of the event loop, and never while its frame covers the whole work area: the first
// half of a maximise is never taken.
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QTimer>

class QWidget;

class NormalPlaceKeeper : public QObject {
    Q_OBJECT
public:
    // Starts from the window's present geometry: the stored place (the frame's corner) a window
    // that has not been shown yet was put at.
    explicit NormalPlaceKeeper(QWidget& window);
    // The client area in the normal state.
    QRect client() const;
    // The frame's corner with the client area's size, as the settings keep it. The frame is read
    // from the window while it is shown in the normal state: a window manager may frame the
    // window after it was placed.
    QRect place() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void take();
    bool normalOnScreen() const;

    QWidget& window_;
    // Where the window was put before it was ever on screen in the normal state (started in the
    // tray or maximised): the frame's corner, the place to keep until one is taken.
    QRect placed_;
    QRect client_;  // once taken
    QPoint frameOffset_;
    QTimer settle_;
};
