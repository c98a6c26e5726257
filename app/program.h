#pragma once
// The program entry: the single-instance rule, the four windows, the event loop. Always 0.
class QApplication;
class TForm1;

// `rawIcmpSocket`: the raw ICMP socket opened before privileges were dropped, or -1.
int RunProgram(int argc, char** argv, int rawIcmpSocket);

// The event loop ends when the main window's close is accepted, also for a window hidden in the
// tray (Qt quits by itself only when a visible window closes), and a session end asks as a close
// does.
void EndProgramWithWindow(QApplication& app, TForm1& window);
