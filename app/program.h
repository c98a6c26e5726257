#pragma once
// The program entry: the single-instance rule, the four windows, the event loop. Always 0.
class QApplication;
class TForm1;

int RunProgram(int argc, char** argv);

// The event loop ends when the main window's close is accepted, also for a window hidden in the
// tray (Qt quits by itself only when a visible window closes), and a session end asks as a close
// does.
void EndProgramWithWindow(QApplication& app, TForm1& window);
