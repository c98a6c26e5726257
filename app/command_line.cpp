#include "app/command_line.h"

#include "app/program_info.h"

namespace command_line {

namespace {
bool set(const char* v) {
    return v && *v;
}
}  // namespace

bool japaneseLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    const char* v = set(lcAll) ? lcAll : set(lcMessages) ? lcMessages : lang;
    return set(v) && std::string(v).rfind("ja", 0) == 0;
}

namespace {

std::string usage(bool japanese) {
    const std::string name = kProgramName;
    if (japanese)
        return "使い方: " + name + " [--help] [--version]\n" + kProductName +
               "：IPv4・IPv6 の偵察先に ping を送り、応答を一覧と偵察ログに示します。\n"
               "偵察先は作業フォルダーの iplist.txt（インストールしたプログラムを\n"
               "ホームフォルダーで起動したときは $XDG_DATA_HOME/pingrove/iplist.txt）に、\n"
               "設定は pingrove.INI に保存されます（pingrove(1) を参照）。\n"
               "  -h, --help     この説明を表示して終了\n"
               "  -v, --version  バージョンを表示して終了\n";
    return "Usage: " + name + " [--help] [--version]\n" +
           "Pingrove pings IPv4 and IPv6 targets and shows who answers, with a scan log.\n"
           "Targets are kept in iplist.txt in the working directory (for the installed\n"
           "program started in the home folder, in $XDG_DATA_HOME/pingrove/), settings in\n"
           "pingrove.INI (see pingrove(1)).\n"
           "  -h, --help     show this help and exit\n"
           "  -v, --version  show the version and exit\n";
}

// Qt's own options (QGuiApplication, QApplication, the X11 platform), with or without a value;
// they are Qt's to take, with one dash or two.
bool isQtOption(const std::string& name, bool& takesValue) {
    static const std::vector<std::string> withValue = {"platform",
                                                       "platformpluginpath",
                                                       "platformtheme",
                                                       "plugin",
                                                       "qwindowgeometry",
                                                       "qwindowtitle",
                                                       "qwindowicon",
                                                       "display",
                                                       "geometry",
                                                       "style",
                                                       "stylesheet",
                                                       "session",
                                                       "name",
                                                       "title",
                                                       "fn",
                                                       "font",
                                                       "bg",
                                                       "background",
                                                       "fg",
                                                       "foreground",
                                                       "btn",
                                                       "button",
                                                       "visual",
                                                       "ncols",
                                                       "im",
                                                       "inputstyle",
                                                       "qmljsdebugger"};
    static const std::vector<std::string> flags = {"reverse", "widgetcount", "nograb", "dograb",
                                                   "sync",    "testability", "cmap"};
    const size_t eq = name.find('=');
    const std::string bare = name.substr(0, eq);
    for (const std::string& o : withValue)
        if (bare == o) {
            takesValue = eq == std::string::npos;
            return true;
        }
    for (const std::string& o : flags)
        if (bare == o) {
            takesValue = false;
            return true;
        }
    return false;
}

}  // namespace

std::optional<Answer> answer(const std::vector<std::string>& args, bool japanese) {
    const std::string name = kProgramName;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--version" || a == "-v") return Answer{name + " " + kProgramVersion + "\n"};
        if (a == "--help" || a == "-h") return Answer{usage(japanese)};
        bool takesValue = false;
        const size_t dashes = a.rfind("--", 0) == 0 ? 2 : a.rfind('-', 0) == 0 ? 1 : 0;
        if (dashes && a.size() > dashes && isQtOption(a.substr(dashes), takesValue)) {
            if (takesValue) ++i;
            continue;
        }
        const std::string refusal = japanese
                                        ? (dashes ? name + ": 知らないオプションです: " + a + "\n"
                                                  : name + ": 引数は取りません: " + a + "\n")
                                        : (dashes ? name + ": unknown option '" + a + "'\n"
                                                  : name + ": unexpected argument '" + a + "'\n");
        return Answer{refusal + usage(japanese), true, 2};
    }
    return std::nullopt;
}

bool displayNamed(const char* display, const char* waylandDisplay, const char* qpaPlatform) {
    return set(display) || set(waylandDisplay) || set(qpaPlatform);
}

std::string noDisplay(bool japanese, bool named) {
    const std::string name = kProgramName;
    if (japanese && named)
        return name +
               ": 画面に接続できません（DISPLAY・WAYLAND_DISPLAY の画面を開けません）。"
               "デスクトップのセッションから起動してください。\n";
    if (japanese)
        return name +
               ": 画面に接続できません（DISPLAY も WAYLAND_DISPLAY もありません）。"
               "デスクトップのセッションから起動してください。\n";
    return name +
           ": cannot open a display (neither DISPLAY nor WAYLAND_DISPLAY is usable); "
           "start it from a desktop session.\n";
}

}  // namespace command_line
