#pragma once
// Where windows go: a stored geometry that can actually be reached, and dialogs centred by their
// frame, which Qt only guesses before a window was first shown.
#include <QList>
#include <QRect>

class QMainWindow;
class QWidget;
struct WindowSettings;

// `wanted` when its title bar can be reached on one of the screens' available areas and it fits
// there; otherwise moved onto the nearest screen and cut to its size.
QRect reachableGeometry(const QRect& wanted, const QList<QRect>& screens);

// Centres the dialog's frame over `area` (the window's frame when none is given), by the frame
// the dialog had when it was last on screen (the window's before its first showing). Left to Qt,
// a dialog shown again is placed from a guess at its frame and lands 20 px off every other time.
void centreOver(QWidget* dialog, const QWidget* window, const QRect& area);
void centreOver(QWidget* dialog, const QWidget* window);

// Puts the window where the settings say, brought onto a screen if need be.
void placeWindow(QMainWindow& window, const WindowSettings& s);
// The place (frame corner and size) the window comes back to from maximised or minimised.
// `frameOffset` is where the client area lies inside the frame.
QRect normalPlace(const QMainWindow& window, QPoint frameOffset);
// Takes the window's place and state into the settings. A window hidden in the tray is minimised,
// and its place is `trayPlace`, taken as it went there: once hidden, the window system may have
// put its client area where its frame was.
void recordPlace(const QMainWindow& window, QPoint frameOffset, const QRect& trayPlace,
                 WindowSettings& s);
