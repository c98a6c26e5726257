#pragma once
// The settings file: the main window's geometry and state, the column widths and which optional
// columns are shown, and the options, in section "Form" of an INI file named after the executable
// with the extension ".INI". For an installed program (under /usr) or one whose folder the user
// cannot write, the file lives in the per-user configuration folder instead; a file beside the
// program then only supplies the start values until the user has one.
#include <QString>
#include <array>
#include <vector>

#include "files/kept_file.h"
#include "settings/list_columns.h"
#include "settings/options.h"

// What the file holds; the comments name each value's key in section "Form".
struct WindowSettings {
    int left = 0;         // Left
    int top = 0;          // Top
    int width = 610;      // Width
    int height = 490;     // Height
    int windowState = 0;  // WindowState: 0 normal, 1 minimised, 2 maximised
    std::array<int, kAllColumnCount> columnWidths = kDefaultColumnWidths;  // LCWidth0 to 10
    // LCShow: the optional columns shown (indices from kFirstFactColumn), in ascending order.
    std::vector<int> shownColumns;
    Options options;  // MIN, CBX1, CBX2, DF, CBX3, FAILS, CBX4, CBX5, DF2
};

class SettingsFile {
public:
    // `executable` is the running program's full path.
    explicit SettingsFile(const QString& executable);
    // Reads the file once; what cannot be read gives the defaults (startResult() tells why).
    WindowSettings load();
    ReadResult startResult() const { return startResult_; }
    // All keys in one replacement of the file; false when it cannot be written. A file that was
    // there but could not be read is first moved aside (movedAsidePath()); one that is no
    // regular file is never written over.
    bool save(const WindowSettings& s);
    const QString& readPath() const { return readPath_; }
    const QString& writePath() const { return writePath_; }
    // Whether the settings are kept per user (an installed program, or one in a folder the user
    // cannot write) rather than beside the program.
    bool perUser() const { return perUser_; }
    QString movedAsidePath() const;

    // The reading rules: decimal, or hexadecimal after "0x"/"0X" when longer than two
    // characters; anything else gives `def`. Booleans: any non-zero integer is true.
    static int parseInteger(const QString& text, int def);
    static bool parseBool(const QString& text, bool def);
    // LCShow's text: the optional columns' indices, comma-separated; anything else is left out.
    static std::vector<int> parseShownColumns(const QString& text);
    static QString shownColumnsText(const std::vector<int>& columns);

private:
    QString readPath_;
    QString writePath_;
    bool perUser_ = false;
    KeptFile written_{std::string()};
    ReadResult startResult_ = ReadResult::Missing;
};
