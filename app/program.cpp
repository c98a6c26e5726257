#include "app/program.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTranslator>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/about_box.h"
#include "app/application.h"
#include "app/command_line.h"
#include "app/image_lists.h"
#include "app/main_window.h"
#include "app/program_info.h"
#include "dialogs/add_target_dialog.h"
#include "dialogs/settings_dialog.h"
#include "files/instance_lock.h"
#include "icmp/icmp_echo_service.h"
#include "platform/file_chooser.h"
#include "platform/message_box.h"
#include "platform/qt_desktop_notifier.h"
#include "platform/qt_event_pump.h"
#include "platform/qt_notification_area.h"
#include "platform/qt_sound.h"
#include "platform/termination_signals.h"
#include "platform/version.h"
#include "settings/settings_file.h"
#include "settings/target_list_file.h"

namespace {

// The windows are designed for "ＭＳ Ｐゴシック" at 12 pixels; IPAPGothic has the same metrics.
void UseJapaneseFont() {
    const QString family = QStringLiteral("ＭＳ Ｐゴシック");
    // Named, not looked for: listing every font that can write Japanese reads the whole font
    // database at start. Where none of these is installed, fontconfig's fallback for the text's
    // script finds one.
    const QStringList candidates = {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                                    QStringLiteral("Noto Sans CJK JP"),
                                    QStringLiteral("VL PGothic"), QStringLiteral("TakaoPGothic")};
    QFont::insertSubstitutions(family, candidates);
    QFont font(family);
    font.setPixelSize(12);
    QApplication::setFont(font);
}

// Qt ends a start whose display cannot be opened with an abort, after a warning or two. While the
// application object is built, its messages are held back; a fatal one gives the user the one
// line instead, with status 1. A message handler is a plain function, hence the statics.
class StartGuard {
public:
    explicit StartGuard(bool japanese) {
        japanese_ = japanese;
        previous_ = qInstallMessageHandler(&StartGuard::hold);
    }
    // The application object exists: what was held goes out as usual.
    ~StartGuard() {
        qInstallMessageHandler(previous_);
        for (const Held& h : held_) {
            QMessageLogContext context(nullptr, 0, nullptr, h.category.c_str());
            if (previous_) previous_(h.type, context, h.text);
        }
        held_.clear();
    }

private:
    struct Held {
        QtMsgType type;
        std::string category;
        QString text;
    };
    static void hold(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (type == QtFatalMsg) {
            const std::string line = command_line::noDisplay(japanese_, true);
            if (::write(STDERR_FILENO, line.data(), line.size()) < 0) {
            }
            ::_exit(1);
        }
        held_.push_back({type, context.category ? context.category : "default", text});
    }
    static inline bool japanese_ = false;
    static inline QtMessageHandler previous_ = nullptr;
    static inline std::vector<Held> held_;
};

}  // namespace

bool loadQtTexts(QTranslator& texts, const QLocale& locale, const QString& folder) {
    if (locale.language() != QLocale::Japanese &&
        texts.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder))
        return true;
    // A Japanese program speaks Japanese in Qt's own dialogs too, where the locale has no
    // catalogue of its own (the C locale among them).
    return texts.load(QStringLiteral("qtbase_ja"), folder);
}

void endProgramWithWindow(QApplication& app, MainWindow& window) {
    app.setQuitOnLastWindowClosed(false);
    QObject::connect(&window, &MainWindow::closed, &app, [] { QCoreApplication::exit(0); });
    // Ended by a signal: a close that asks nothing, saves both files and exits with status 0.
    auto* endSignals = new TerminationSignals(&window);
    QObject::connect(endSignals, &TerminationSignals::received, &window,
                     [&window] { window.endSession(false); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager& session) {
                         if (!window.endSession(session.allowsInteraction())) session.cancel();
                     });
}

void preferX11OnWayland() {
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return;  // the user's choice stands
    if (qEnvironmentVariableIsEmpty("DISPLAY")) return;        // no X server to go to
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qgetenv("XDG_SESSION_TYPE") != QByteArrayLiteral("wayland"))
        return;
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("xcb"));
}

int runProgram(int argc, char** argv, icmp_relay::Helper icmpRelay) {
    const bool japanese = command_line::japaneseLocale(
        std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
    if (const auto answer = command_line::answer({argv, argv + argc}, japanese)) {
        std::fputs(answer->text.c_str(), answer->toStderr ? stderr : stdout);
        return answer->status;
    }
    if (!command_line::displayNamed(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"),
                                    std::getenv("QT_QPA_PLATFORM"))) {
        std::fputs(command_line::noDisplay(japanese, false).c_str(), stderr);
        return 1;
    }
    preferX11OnWayland();
    std::optional<StartGuard> guard(std::in_place, japanese);
    Application app(argc, argv);
    guard.reset();
    app.setApplicationName(QString::fromUtf8(kProgramName));
    QtMessageBox messages;
    FileInstanceLock lock(kProgramName);
    if (!lock.tryAcquire()) {
        releaseTerminationSignals();  // nothing to save: a `kill` ends this start at once
        messages.inform(nullptr, ProductName(),
                        QStringLiteral("ピングローブは既に実行されています！"));
        // Once the message is read, the running window comes forward, from the tray too.
        InstanceChannel::ask(lock.channelPath());
        return 0;
    }
    InstanceChannel laterStarts(lock.channelPath());
    laterStarts.listen();
    UseJapaneseFont();
    QTranslator qtTexts;
    if (loadQtTexts(qtTexts, QLocale(), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTexts);
    app.setWindowIcon(images::programIcon());

    const QString exeDir = QCoreApplication::applicationDirPath();
    // The chime lies beside the executable in the build tree and in share/pingrove/sounds when
    // installed (/usr/bin/pingrove: /usr/share/pingrove/sounds).
    QString soundDir = exeDir + QStringLiteral("/sounds");
    const QString installedSounds =
        QDir::cleanPath(exeDir + QStringLiteral("/../share/") + QString::fromUtf8(kProgramName) +
                        QStringLiteral("/sounds"));
    if (!QFileInfo(soundDir).isDir() && QFileInfo(installedSounds).isDir())
        soundDir = installedSounds;
    IcmpEchoService echo(icmpRelay.socket, icmpRelay.pid);
    QtEventPump pump;
    // The sound system's module: beside the executable in the build tree, in the package's
    // private library folder when installed (/usr/lib/x86_64-linux-gnu/pingrove).
    QtSound sound({soundDir, QDir::currentPath()},
                  {exeDir, QDir::cleanPath(exeDir + QStringLiteral("/../" PINGROVE_MODULE_DIR))});
    QtNotificationArea tray(QString::fromUtf8(kProgramName), ProductName());
    QtFileChooser chooser;
    QtDesktopNotifier notifier(ProductName(),
                               [] { return images::programIcon().pixmap(48, 48).toImage(); });
    SettingsFile settings(QCoreApplication::applicationFilePath());
    // The history beside the settings, or for a program kept per user where the base directory
    // rules put state: $XDG_STATE_HOME (~/.local/state).
    const QString stateHome = qEnvironmentVariable("XDG_STATE_HOME");
    const QString historyPath = settings.perUser()
                                    ? (QDir::isAbsolutePath(stateHome)
                                           ? stateHome
                                           : QDir::homePath() + QStringLiteral("/.local/state")) +
                                          QStringLiteral("/pingrove/history.csv")
                                    : QFileInfo(settings.writePath()).absolutePath() +
                                          QStringLiteral("/pingrove-history.csv");
    Services services{
        echo,
        pump,
        sound,
        messages,
        chooser,
        tray,
        notifier,
        settings,
        TargetListFile::locate(QDir::currentPath(), QDir::homePath(),
                               qEnvironmentVariable("XDG_DATA_HOME"), settings.perUser()),
        platformId(),
        historyPath};
    try {
        MainWindow window(services);
        // Children of the window, which deletes them.
        window.setDialogMaker([&] {
            window.setDialogs(
                new AddTargetDialog(&window),
                new SettingsDialog(
                    sound, chooser,
                    QFileInfo(soundDir).isDir() ? soundDir : QStringLiteral("/usr/share/sounds"),
                    images::playGlyph(), &window),
                new AboutBox(&window));
        });
        endProgramWithWindow(app, window);
        if (laterStarts.fd() >= 0) {
            auto* asked = new QSocketNotifier(laterStarts.fd(), QSocketNotifier::Read, &window);
            QObject::connect(asked, &QSocketNotifier::activated, &window, [&] {
                if (laterStarts.takeRequests()) window.bringForward();
            });
        }
        window.showAtStart();
        // The tray item's title is the application's name. Set once the window exists, whose
        // X11 class keeps the executable's name for the desktop entry to match.
        app.setApplicationName(ProductName());
        app.exec();
    } catch (const std::bad_alloc&) {
        releaseTerminationSignals();
        messages.showError(nullptr, ProductName(), QStringLiteral("メモリが足りません。"));
    } catch (const std::exception& e) {
        releaseTerminationSignals();
        messages.showError(nullptr, ProductName(), QString::fromUtf8(e.what()));
    }
    laterStarts.close();  // before the lock is free for the next holder's socket
    lock.release();
    return 0;
}
