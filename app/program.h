#pragma once
// The program entry: the single-instance rule, the four windows, the event loop. Always 0.
int RunProgram(int argc, char** argv);
