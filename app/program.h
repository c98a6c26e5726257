#pragma once
// The program entry: the single-instance rule, the four windows, the event loop. Always 0.
#include <QString>

#include "icmp/icmp_relay.h"

class QApplication;
class QLocale;
class QTranslator;
class MainWindow;

// `icmpRelay`: the ICMP relay holding the raw socket, or none (socket -1).
int runProgram(int argc, char** argv, icmp_relay::Helper icmpRelay);

// The event loop ends when the main window's close is accepted, also for a window hidden in the
// tray (Qt quits by itself only when a visible window closes); a session end asks as a close
// does, and SIGTERM, SIGHUP and SIGINT close without asking, saving both files.
void endProgramWithWindow(QApplication& app, MainWindow& window);

// Wayland lets no program place its window or learn that it was minimised, so the stored
// position, the centred about box and the minimise to the tray would all stop working there. On a
// Wayland desktop with an X server at hand (XWayland) the program runs on Qt's X11 platform,
// unless QT_QPA_PLATFORM says otherwise. Call before the application object exists.
void preferX11OnWayland();

// Loads Qt's own texts (the file chooser, the standard buttons) from `folder` into `texts`: the
// locale's catalogue, or Japanese where the locale is Japanese or has none. False when neither
// is there.
bool loadQtTexts(QTranslator& texts, const QLocale& locale, const QString& folder);
