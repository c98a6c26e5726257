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
// Takes the window's normal place (frame corner and client size) and its state into the
// settings. A window hidden in the tray is kept as minimised.
void recordPlace(const QMainWindow& window, const QRect& normalPlace, bool inTray,
                 WindowSettings& s);
