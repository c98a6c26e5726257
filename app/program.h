#pragma once
// The program entry: the single-instance rule, the four windows, the event loop. Always 0.
#include <QString>

class QApplication;
class QLocale;
class TForm1;

// `rawIcmpSocket`: the raw ICMP socket opened before privileges were dropped, or -1.
int RunProgram(int argc, char** argv, int rawIcmpSocket);

// The event loop ends when the main window's close is accepted, also for a window hidden in the
// tray (Qt quits by itself only when a visible window closes), and a session end asks as a close
// does.
void EndProgramWithWindow(QApplication& app, TForm1& window);

// The file of Qt's own texts (the file chooser, the standard buttons) to load in `folder`: the
// locale's, or Japanese where the locale is Japanese or has none. Empty when neither is there.
QString QtCatalogueFor(const QLocale& locale, const QString& folder);
