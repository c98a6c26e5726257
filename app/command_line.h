#pragma once
// What the command line can ask before any window exists: the usage, the version, and the one
// line a start without a display gets instead of Qt's abort.
#include <optional>
#include <string>
#include <vector>

namespace command_line {

// Japanese texts where the messages' locale is Japanese (LC_ALL, else LC_MESSAGES, else LANG).
bool japaneseLocale(const char* lcAll, const char* lcMessages, const char* lang);

// The text for --help (-h) or --version, after which the program ends with status 0; nothing
// when the program is to start. Other arguments are left to Qt.
std::optional<std::string> answer(const std::vector<std::string>& args, bool japanese);

// Whether the environment names a display: X11, Wayland, or a platform chosen by the user.
bool displayNamed(const char* display, const char* waylandDisplay, const char* qpaPlatform);

// The one line for a start without a usable display (ends with a line feed).
std::string noDisplay(bool japanese);

}  // namespace command_line
