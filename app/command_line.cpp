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

std::optional<std::string> answer(const std::vector<std::string>& args, bool japanese) {
    const std::string name = kProgramName;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--version") return name + " " + kProgramVersion + "\n";
        if (args[i] != "--help" && args[i] != "-h") continue;
        if (japanese)
            return "使い方: " + name + " [--help] [--version]\n" + kProductName +
                   "：IPv4 の偵察先に ping を送り、応答を一覧と偵察ログに示します。\n"
                   "偵察先は作業フォルダーの iplist.txt に、設定は pingrove.INI に保存されます"
                   "（pingrove(1) を参照）。\n"
                   "  --help     この説明を表示して終了\n"
                   "  --version  バージョンを表示して終了\n";
        return "Usage: " + name + " [--help] [--version]\n" +
               "Pingrove pings a list of IPv4 targets and shows who answers, with a scan log.\n"
               "Targets are kept in iplist.txt in the working directory, settings in "
               "pingrove.INI (see pingrove(1)).\n"
               "  --help     show this help and exit\n"
               "  --version  show the version and exit\n";
    }
    return std::nullopt;
}

bool displayNamed(const char* display, const char* waylandDisplay, const char* qpaPlatform) {
    return set(display) || set(waylandDisplay) || set(qpaPlatform);
}

std::string noDisplay(bool japanese) {
    const std::string name = kProgramName;
    if (japanese)
        return name +
               ": 画面に接続できません（DISPLAY も WAYLAND_DISPLAY もありません）。"
               "デスクトップのセッションから起動してください。\n";
    return name +
           ": cannot open a display (neither DISPLAY nor WAYLAND_DISPLAY is usable); "
           "start it from a desktop session.\n";
}

}  // namespace command_line
