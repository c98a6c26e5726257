#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include "platform/qt_sound.h"
#include "test_support.h"

namespace {

class CountingSound : public QtSound {
public:
    using QtSound::QtSound;
    int beeps = 0;
    void beep() override { ++beeps; }
};

TEST(Sound, BareNamesComeFromTheSoundFolderThenTheWorkingFolder) {
    TempDir dir;
    QDir().mkpath(QString::fromStdString(dir.path("sounds")));
    QDir().mkpath(QString::fromStdString(dir.path("cwd")));
    WriteFileBytes(dir.path("sounds/chimes.wav"), "RIFF");
    WriteFileBytes(dir.path("cwd/chimes.wav"), "RIFF");
    WriteFileBytes(dir.path("cwd/other.wav"), "RIFF");
    CountingSound s(
        {QString::fromStdString(dir.path("sounds")), QString::fromStdString(dir.path("cwd"))}, {});
    EXPECT_EQ(s.resolve("chimes.wav"), QString::fromStdString(dir.path("sounds/chimes.wav")));
    EXPECT_EQ(s.resolve("other.wav"), QString::fromStdString(dir.path("cwd/other.wav")));
    EXPECT_EQ(s.resolve("missing.wav"), QString());
    EXPECT_EQ(s.resolve(""), QString());
    EXPECT_EQ(s.resolve(QString::fromStdString(dir.path("cwd/other.wav"))),
              QString::fromStdString(dir.path("cwd/other.wav")));
}

TEST(Sound, AMissingFileBeepsAndNothingBlocks) {
    // The sound system is loaded by the first sound that needs it, not before.
    CountingSound s(QStringList{}, {QStringLiteral(PINGROVE_BINARY_DIR)});
    QElapsedTimer t;
    t.start();
    s.playAsyncNoStop("missing.wav");
    s.playAsyncNoStop("");
    EXPECT_EQ(s.beeps, 2);
    EXPECT_FALSE(s.playerLoaded());
#if !defined(__SANITIZE_THREAD__)  // Qt Multimedia's own threads are not instrumented
    // The shipped chime, with or without an audio device: no beep, and the call returns (how
    // fast is bench/sound_bench's to say).
    s.playAsyncNoStop(QStringLiteral(PINGROVE_TEST_DATA "/../../resources/sounds/chimes.wav"));
    EXPECT_EQ(s.beeps, 2);
    EXPECT_TRUE(s.playerLoaded());
    // Qt loads the file on a thread of its own; a process that ends meanwhile leaves Qt's loader
    // behind (LeakSanitizer sees it), so the test lets the loading finish.
    while (s.busy() && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
#endif
}

#if !defined(__SANITIZE_THREAD__)
// A sound server of the test's own with a sink that plays in real time into nothing, as a
// desktop's would into a speaker.
class NullSoundServer {
public:
    NullSoundServer() {
        const QString socket = QString::fromStdString(dir_.path("native"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* v : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"})
            env.insert(QString::fromLatin1(v), QString::fromStdString(dir_.path()));
        server_.setProcessEnvironment(env);
        server_.start(QStringLiteral("pulseaudio"),
                      {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                       "--disable-shm=yes", "-L", "module-null-sink", "-L",
                       "module-native-protocol-unix auth-anonymous=1 socket=" + socket});
        // Ready once its socket takes a connection.
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        socket.toStdString().copy(address.sun_path, sizeof address.sun_path - 1);
        QElapsedTimer t;
        t.start();
        server_.waitForStarted(10000);
        while (server_.state() == QProcess::Running && t.elapsed() < 10000) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            const bool up =
                ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
            ::close(fd);
            if (up) {
                qputenv("PULSE_SERVER", ("unix:" + socket).toUtf8());
                return;
            }
            server_.waitForFinished(50);
        }
    }
    ~NullSoundServer() {
        server_.kill();
        server_.waitForFinished(10000);
    }
    bool isUp() const { return !qgetenv("PULSE_SERVER").isEmpty(); }

private:
    TempDir dir_;
    QProcess server_;
};

TEST(Sound, ASoundStillPlayingIsNeitherCutOffNorFollowedByAnother) {
    // Qt Multimedia finds its sound server once per process (ctest runs each test in its own).
    if (dlopen("libQt6Multimedia.so.6", RTLD_NOW | RTLD_NOLOAD))
        GTEST_SKIP() << "Qt Multimedia was started before the sound server";
    NullSoundServer server;
    if (!server.isUp()) GTEST_SKIP() << "no pulseaudio";
    CountingSound s(QStringList{}, {QStringLiteral(PINGROVE_BINARY_DIR)});
    QElapsedTimer t;
    t.start();
    s.playAsyncNoStop(QStringLiteral(PINGROVE_TEST_DATA "/../../resources/sounds/chimes.wav"));
    // Every request while it plays is dropped, even one that would beep.
    while (s.busy() && t.elapsed() < 10000) {
        s.playAsyncNoStop(QStringLiteral("missing.wav"));
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_GE(t.elapsed(), 1000) << "busy for less than the chime's 1.1 s";
    EXPECT_EQ(s.beeps, 0);
    s.playAsyncNoStop(QStringLiteral("missing.wav"));
    EXPECT_EQ(s.beeps, 1);
}

// A sound that must not be lost (the offline sound) waits for the one still playing, and plays
// once however often it was asked for meanwhile.
TEST(Sound, ASoundThatMustNotBeLostWaitsForTheOneStillPlaying) {
    if (dlopen("libQt6Multimedia.so.6", RTLD_NOW | RTLD_NOLOAD))
        GTEST_SKIP() << "Qt Multimedia was started before the sound server";
    NullSoundServer server;
    if (!server.isUp()) GTEST_SKIP() << "no pulseaudio";
    struct Recording : CountingSound {
        using CountingSound::CountingSound;
        QStringList started;
        QElapsedTimer clock;
        qint64 offlineAt = 0;
        void playAsyncNoStop(const QString& file) override {
            started << QFileInfo(file).fileName();
            if (file.endsWith(QStringLiteral("offline.wav"))) offlineAt = clock.elapsed();
            CountingSound::playAsyncNoStop(file);
        }
    } s(QStringList{QStringLiteral(PINGROVE_TEST_DATA "/../../resources/sounds")},
        {QStringLiteral(PINGROVE_BINARY_DIR)});
    s.clock.start();
    s.playAsyncNoStop(QStringLiteral("chimes.wav"));
    s.playWhenFree(QStringLiteral("offline.wav"));
    s.playWhenFree(QStringLiteral("offline.wav"));
    while (s.offlineAt == 0 && s.clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(s.started, (QStringList{"chimes.wav", "offline.wav"}));
    EXPECT_GE(s.offlineAt, 1000) << "started before the chime's 1.1 s were over";
    EXPECT_EQ(s.beeps, 0);
}
#endif

}  // namespace
