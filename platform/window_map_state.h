#pragma once
// How an X11 window manager maps a window again. Qt marks a window "start iconic" (WM_HINTS) when
// it is minimised and never takes the mark back; a window that was hidden after that (to the
// notification area) is mapped iconic by the window manager the next time it is shown, and
// xfwm4 and openbox do so, so it never comes back. Nothing happens on other platforms.
class QRect;
class QWidget;

// Marks `window` to be mapped in the normal state the next time it is shown.
void mapNormallyWhenShown(QWidget& window);
// Moves a hidden window's client area to `client` (screen coordinates) in the window system at
// once. Qt keeps the geometry of a hidden window to itself until it shows it, and by then
// taking back the minimised state has mapped the window where the window manager last left it.
void placeBeforeMapping(QWidget& window, const QRect& client);
