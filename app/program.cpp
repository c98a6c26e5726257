#include "app/program.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QSessionManager>
#include <QTranslator>

#include "app/about_box.h"
#include "app/application.h"
#include "app/image_lists.h"
#include "app/main_window.h"
#include "app/program_info.h"
#include "platform/file_chooser.h"
#include "platform/icmp_echo_service.h"
#include "platform/instance_lock.h"
#include "platform/message_box.h"
#include "platform/qt_event_pump.h"
#include "platform/qt_notification_area.h"
#include "platform/qt_sound.h"
#include "platform/version.h"
#include "settings/add_target_dialog.h"
#include "settings/settings_dialog.h"
#include "settings/settings_file.h"

namespace {

const QString kCaption = QString::fromUtf8(kProductName);

// The windows are designed for "ＭＳ Ｐゴシック" at 12 pixels; IPAPGothic has the same metrics.
void UseJapaneseFont() {
    const QString family = QStringLiteral("ＭＳ Ｐゴシック");
    QStringList candidates = {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                              QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic"),
                              QStringLiteral("TakaoPGothic")};
    for (const QString& f : QFontDatabase::families(QFontDatabase::Japanese))
        if (!candidates.contains(f)) candidates << f;
    QFont::insertSubstitutions(family, candidates);
    QFont font(family);
    font.setPixelSize(12);
    QApplication::setFont(font);
}

}  // namespace

bool LoadQtTexts(QTranslator& texts, const QLocale& locale, const QString& folder) {
    if (locale.language() != QLocale::Japanese &&
        texts.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder))
        return true;
    // A Japanese program speaks Japanese in Qt's own dialogs too, where the locale has no
    // catalogue of its own (the C locale among them).
    return texts.load(QStringLiteral("qtbase_ja"), folder);
}

void EndProgramWithWindow(QApplication& app, MainWindow& window) {
    app.setQuitOnLastWindowClosed(false);
    QObject::connect(&window, &MainWindow::closed, &app, [] { QCoreApplication::exit(0); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager& session) {
                         if (!window.endSession(session.allowsInteraction())) session.cancel();
                     });
}

void PreferX11OnWayland() {
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return;  // the user's choice stands
    if (qEnvironmentVariableIsEmpty("DISPLAY")) return;        // no X server to go to
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qgetenv("XDG_SESSION_TYPE") != QByteArrayLiteral("wayland"))
        return;
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("xcb"));
}

int RunProgram(int argc, char** argv, int rawIcmpSocket) {
    PreferX11OnWayland();
    Application app(argc, argv);
    app.setApplicationName(QString::fromUtf8(kProgramName));
    QtMessageBox messages;
    FileInstanceLock lock(kProgramName);
    if (!lock.TryAcquire()) {
        messages.Inform(nullptr, kCaption, QStringLiteral("ピングローブは既に実行されています！"));
        return 0;
    }
    UseJapaneseFont();
    QTranslator qtTexts;
    if (LoadQtTexts(qtTexts, QLocale(), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTexts);
    app.setWindowIcon(images::ProgramIcon());

    const QString exeDir = QCoreApplication::applicationDirPath();
    // The chime lies beside the executable in the build tree and in share/pingrove/sounds when
    // installed (/usr/bin/pingrove: /usr/share/pingrove/sounds).
    QString soundDir = exeDir + QStringLiteral("/sounds");
    const QString installedSounds =
        QDir::cleanPath(exeDir + QStringLiteral("/../share/") + QString::fromUtf8(kProgramName) +
                        QStringLiteral("/sounds"));
    if (!QFileInfo(soundDir).isDir() && QFileInfo(installedSounds).isDir())
        soundDir = installedSounds;
    IcmpEchoService echo(rawIcmpSocket);
    QtEventPump pump;
    QtSound sound({soundDir, QDir::currentPath()});
    QtNotificationArea tray;
    QtFileChooser chooser;
    SettingsFile settings(QCoreApplication::applicationFilePath());
    Services services{echo,
                      pump,
                      sound,
                      messages,
                      tray,
                      settings,
                      QDir::current().absoluteFilePath(QStringLiteral("iplist.txt")),
                      PlatformId()};
    try {
        MainWindow window(services);
        AddTargetDialog addDialog(&window);
        SettingsDialog settingsDialog(
            sound, chooser,
            QFileInfo(soundDir).isDir() ? soundDir : QStringLiteral("/usr/share/sounds"), &window);
        AboutBox about(&window);
        window.setDialogs(&addDialog, &settingsDialog, &about);
        EndProgramWithWindow(app, window);
        window.showAtStart();
        app.exec();
    } catch (const std::exception& e) {
        messages.ShowError(nullptr, kCaption, QString::fromUtf8(e.what()));
    }
    lock.Release();
    return 0;
}
