#pragma once
// The settings file: the main window's geometry and state, the five column widths and the four
// options, in section "Form" of an INI file named after the executable with the extension ".INI".
// When the executable's folder cannot be written (a system-wide install), the file lives in the
// per-user configuration folder instead, as desktops redirect programs that write beside
// themselves.
#include <QString>
#include <array>

struct TFormSettings {
    int Left = 0;
    int Top = 0;
    int Width = 610;
    int Height = 490;
    int WindowState = 0;  // 0 normal, 1 minimised, 2 maximised
    std::array<int, 5> LCWidth{20, 100, 250, 100, 100};
    QString MIN = QStringLiteral("15");
    bool CBX1 = true;
    bool CBX2 = true;
    QString DF = QStringLiteral("chimes.wav");
};

class TSettingsFile {
public:
    // `executable` is the running program's full path.
    explicit TSettingsFile(const QString& executable);
    TFormSettings Load() const;
    // All keys in one replacement of the file; false when it cannot be written.
    bool Save(const TFormSettings& s) const;
    const QString& ReadPath() const { return readPath_; }
    const QString& WritePath() const { return writePath_; }

    // The reading rules: decimal, or hexadecimal after "0x"/"0X" when longer than two
    // characters; anything else gives `def`. Booleans: any non-zero integer is true.
    static int ParseInteger(const QString& text, int def);
    static bool ParseBool(const QString& text, bool def);

private:
    QString readPath_;
    QString writePath_;
};
