#pragma once
// What the command line can ask before any window exists: the usage, the version, and the one
// line a start without a display gets instead of Qt's abort.
#include <optional>
#include <string>
#include <vector>

namespace command_line {

// Japanese texts where the messages' locale is Japanese (LC_ALL, else LC_MESSAGES, else LANG).
bool japaneseLocale(const char* lcAll, const char* lcMessages, const char* lang);

// What the command line asks for instead of a start: the text, where it goes and the status.
struct Answer {
    std::string text;
    bool toStderr = false;
    int status = 0;
};
// --help (-h) and --version (-v) answer on standard output with status 0; an option the program
// does not know (nor Qt, whose own options are left to it) or any other argument is refused with
// one line and the usage on standard error, status 2, like any Debian program. Nothing when the
// program is to start.
std::optional<Answer> answer(const std::vector<std::string>& args, bool japanese);

// Whether the environment names a display: X11, Wayland, or a platform chosen by the user.
bool displayNamed(const char* display, const char* waylandDisplay, const char* qpaPlatform);

// The one line for a start without a usable display (ends with a line feed). `named`: a display
// was named but could not be opened.
std::string noDisplay(bool japanese, bool named);

}  // namespace command_line
