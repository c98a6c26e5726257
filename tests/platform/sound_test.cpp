#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include "platform/qt_sound.h"
#include "test_support.h"

namespace {

class CountingSound : public QtSound {
public:
    using QtSound::QtSound;
    int beeps = 0;
    void Beep() override { ++beeps; }
};

TEST(Sound, BareNamesComeFromTheSoundFolderThenTheWorkingFolder) {
    TempDir dir;
    QDir().mkpath(QString::fromStdString(dir.Path("sounds")));
    QDir().mkpath(QString::fromStdString(dir.Path("cwd")));
    WriteFileBytes(dir.Path("sounds/chimes.wav"), "RIFF");
    WriteFileBytes(dir.Path("cwd/chimes.wav"), "RIFF");
    WriteFileBytes(dir.Path("cwd/other.wav"), "RIFF");
    CountingSound s(
        {QString::fromStdString(dir.Path("sounds")), QString::fromStdString(dir.Path("cwd"))});
    EXPECT_EQ(s.Resolve("chimes.wav"), QString::fromStdString(dir.Path("sounds/chimes.wav")));
    EXPECT_EQ(s.Resolve("other.wav"), QString::fromStdString(dir.Path("cwd/other.wav")));
    EXPECT_EQ(s.Resolve("missing.wav"), QString());
    EXPECT_EQ(s.Resolve(""), QString());
    EXPECT_EQ(s.Resolve(QString::fromStdString(dir.Path("cwd/other.wav"))),
              QString::fromStdString(dir.Path("cwd/other.wav")));
}

TEST(Sound, AMissingFileBeepsAndNothingBlocks) {
    CountingSound s(QStringList{});
    QElapsedTimer t;
    t.start();
    s.PlayAsyncNoStop("missing.wav");
    s.PlayAsyncNoStop("");
    EXPECT_EQ(s.beeps, 2);
#if !defined(__SANITIZE_THREAD__)  // Qt Multimedia's own threads are not instrumented
    // The shipped chime, with or without an audio device: no beep, and the call returns (how
    // fast is bench/sound_bench's to say).
    s.PlayAsyncNoStop(QStringLiteral(PINGROVE_TEST_DATA "/../../resources/sounds/chimes.wav"));
    EXPECT_EQ(s.beeps, 2);
    // Qt loads the file on a thread of its own; a process that ends meanwhile leaves Qt's loader
    // behind (LeakSanitizer sees it), so the test lets the loading finish.
    while (s.Busy() && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
#endif
}

}  // namespace
