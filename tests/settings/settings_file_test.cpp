#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include <QDir>
#include <cstdlib>

#include "settings/settings_file.h"
#include "test_support.h"

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

class Settings : public ::testing::Test {
protected:
    TempDir dir;
    SettingsFile File(const std::string& exe = "pingrove") {
        return SettingsFile(Q(dir.path(exe)));
    }
};

TEST_F(Settings, NamedAfterTheExecutable) {
    EXPECT_EQ(File().readPath(), Q(dir.path("pingrove.INI")));
    EXPECT_EQ(File("pingrove.exe").writePath(), Q(dir.path("pingrove.INI")));
    EXPECT_EQ(File("copy").readPath(), Q(dir.path("copy.INI")));
}

TEST_F(Settings, FirstStartRunsOnTheDefaults) {
    WindowSettings s = File().load();
    EXPECT_EQ(s.left, 0);
    EXPECT_EQ(s.top, 0);
    EXPECT_EQ(s.width, 610);
    EXPECT_EQ(s.height, 490);
    EXPECT_EQ(s.windowState, 0);
    EXPECT_EQ(s.columnWidths,
              (std::array<int, 11>{20, 100, 250, 100, 100, 80, 60, 90, 130, 90, 90}));
    EXPECT_EQ(s.options.intervalText, "15");
    EXPECT_TRUE(s.options.soundOn);
    EXPECT_TRUE(s.options.autoScanOn);
    EXPECT_EQ(s.options.soundFile, "chimes.wav");
    // The additions start off, so that a first start behaves as the program always did.
    EXPECT_TRUE(s.shownColumns.empty());
    EXPECT_EQ(s.options.failsToConfirm, 2);
    EXPECT_FALSE(s.options.allAtOnce);
    EXPECT_FALSE(s.options.offlineSoundOn);
    EXPECT_EQ(s.options.offlineSoundFile, "offline.wav");
}

TEST_F(Settings, IntegerAndBooleanReadingRules) {
    EXPECT_EQ(SettingsFile::parseInteger("abc", 610), 610);
    EXPECT_EQ(SettingsFile::parseInteger("0x2B2", 610), 690);
    EXPECT_EQ(SettingsFile::parseInteger("0X2b2", 610), 690);
    EXPECT_EQ(SettingsFile::parseInteger("", 610), 610);
    EXPECT_EQ(SettingsFile::parseInteger("0x", 610), 610);
    EXPECT_EQ(SettingsFile::parseInteger("-12", 0), -12);
    EXPECT_FALSE(SettingsFile::parseBool("0", true));
    EXPECT_TRUE(SettingsFile::parseBool("2", false));
    EXPECT_TRUE(SettingsFile::parseBool("yes", true));
    EXPECT_FALSE(SettingsFile::parseBool("yes", false));

    WriteFileBytes(dir.path("pingrove.INI"),
                   "[Form]\nWidth=abc\nHeight=0x2B2\nLeft=\nCBX1=0\nCBX2=yes\nDF=\nMIN=015\n");
    WindowSettings s = File().load();
    EXPECT_EQ(s.width, 610);
    EXPECT_EQ(s.height, 690);
    EXPECT_EQ(s.left, 0);
    EXPECT_FALSE(s.options.soundOn);
    EXPECT_TRUE(s.options.autoScanOn);
    EXPECT_EQ(s.options.soundFile, "");  // present and empty: no default
    EXPECT_EQ(s.options.intervalText, "015");

    // Counts outside 1..10 are brought to the nearest; shown columns outside 5..10 left out.
    WriteFileBytes(dir.path("pingrove.INI"), "[Form]\nFAILS=0\nLCShow=9, 5,x,3,12,9\n");
    s = File().load();
    EXPECT_EQ(s.options.failsToConfirm, 1);
    EXPECT_EQ(s.shownColumns, (std::vector<int>{5, 9}));
    WriteFileBytes(dir.path("pingrove.INI"), "[Form]\nFAILS=99\n");
    EXPECT_EQ(File().load().options.failsToConfirm, 10);
}

TEST_F(Settings, SaveWritesEveryKeyInOrderAndKeepsForeignLines) {
    WindowSettings s;
    s.left = 5;
    s.windowState = 2;
    s.columnWidths[2] = 300;
    s.options.soundFile = QStringLiteral("/home/u/音/ベル.wav");
    ASSERT_TRUE(File().save(s));
    EXPECT_EQ(ReadFileBytes(dir.path("pingrove.INI")),
              "[Form]\nLeft=5\nTop=0\nWidth=610\nHeight=490\nWindowState=2\nLCWidth0=20\n"
              "LCWidth1=100\nLCWidth2=300\nLCWidth3=100\nLCWidth4=100\nMIN=15\nCBX1=1\nCBX2=1\n"
              "DF=/home/u/音/ベル.wav\nCBX3=1\nFAILS=2\nCBX4=0\nCBX5=0\nDF2=offline.wav\n"
              "LCShow=\nLCWidth5=80\nLCWidth6=60\nLCWidth7=90\nLCWidth8=130\nLCWidth9=90\n"
              "LCWidth10=90\n");
    EXPECT_EQ(File().load().options.soundFile, s.options.soundFile);

    // Every key apart from every other: a value written under another key's name reads back wrong.
    WindowSettings all{1,       2,
                       3,       4,
                       1,       {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
                       {6, 10}, {false, true, "42", "d.wav", false, 7, true, false, "o.wav"}};
    ASSERT_TRUE(File().save(all));
    WindowSettings back = File().load();
    EXPECT_EQ((std::array{back.left, back.top, back.width, back.height, back.windowState}),
              (std::array{1, 2, 3, 4, 1}));
    EXPECT_EQ(back.columnWidths, all.columnWidths);
    EXPECT_EQ(back.shownColumns, all.shownColumns);
    EXPECT_EQ(back.options, all.options);
    all.options.soundOn = true;  // and every switch the other way round
    all.options.autoScanOn = false;
    all.options.notifyOn = true;
    all.options.allAtOnce = false;
    all.options.offlineSoundOn = true;
    ASSERT_TRUE(File().save(all));
    back = File().load();
    EXPECT_EQ(back.options, all.options);

    WriteFileBytes(dir.path("pingrove.INI"), "[Mine]\nA=1\n[Form]\nExtra=x\nTop=9\n");
    ASSERT_TRUE(File().save(s));
    std::string text = ReadFileBytes(dir.path("pingrove.INI"));
    EXPECT_EQ(text.rfind("[Mine]\nA=1\n[Form]\nExtra=x\nTop=0\nLeft=5\n", 0), 0u);

    // Written by hand in other spellings: read and written back in the same section and lines,
    // never as a second section or key that the next read would not see.
    WriteFileBytes(dir.path("pingrove.INI"), "[form]\nleft=7\n[FORM]\nTOP=8\n");
    EXPECT_EQ(File().load().left, 7);
    ASSERT_TRUE(File().save(s));
    text = ReadFileBytes(dir.path("pingrove.INI"));
    EXPECT_EQ(text.rfind("[form]\nLeft=5\n", 0), 0u) << text;
    EXPECT_EQ(text.find("[Form]"), std::string::npos) << text;
    EXPECT_EQ(File().load().left, 5);
}

TEST_F(Settings, InstalledOrUnwritableProgramsKeepTheirSettingsPerUser) {
    const std::string bin = dir.path("bin"), config = dir.path("config");
    ::mkdir(bin.c_str(), 0755);
    ::mkdir(config.c_str(), 0700);
    ::chmod(config.c_str(), 0777);
    WriteFileBytes(bin + "/pingrove.INI", "[Form]\nWidth=700\n");
    ::chmod(bin.c_str(), 0555);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    bool ok = AsOrdinaryUser(dir.path(), [&] {
        SettingsFile f(Q(bin + "/pingrove"));
        if (f.writePath() != Q(config + "/pingrove/pingrove.INI")) return false;
        if (f.load().width != 700) return false;  // read beside the program until the user has one
        WindowSettings s;
        s.width = 800;
        if (!f.save(s)) return false;
        return SettingsFile(Q(bin + "/pingrove")).load().width == 800;
    });
    EXPECT_TRUE(ok);
    // Installed: per user even for root, who could write /usr/bin.
    const SettingsFile installed(QStringLiteral("/usr/bin/pingrove"));
    EXPECT_EQ(installed.writePath(), Q(config + "/pingrove/pingrove.INI"));
    // A relative XDG_CONFIG_HOME is no base folder (the XDG rule): the default is used.
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(SettingsFile(QStringLiteral("/usr/bin/pingrove")).writePath(),
              QDir::homePath() + "/.config/pingrove/pingrove.INI");
    unsetenv("XDG_CONFIG_HOME");
    ::chmod(bin.c_str(), 0755);
}

TEST_F(Settings, SaveFailsWhenTheFileCannotBeReplaced) {
    ::mkdir(dir.path("pingrove.INI").c_str(), 0700);  // a folder where the file should be
    EXPECT_FALSE(File().save(WindowSettings{}));
}

}  // namespace
