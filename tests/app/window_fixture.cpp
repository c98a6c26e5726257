#include "window_fixture.h"

#include <QElapsedTimer>

#include "app/image_lists.h"
#include "platform/version.h"
#include "settings/cp932.h"

void Window::Start(const std::string& iplistUtf8, const std::string& ini) {
    if (!iplistUtf8.empty())
        WriteFileBytes(ListPath(), *cp932::encode(QString::fromStdString(iplistUtf8)));
    if (!ini.empty()) WriteFileBytes(IniPath(), ini);
    Rebuild();
}

void Window::Rebuild() {
    about.reset();
    form4.reset();
    form3.reset();
    form.reset();
    settings = std::make_unique<SettingsFile>(QString::fromStdString(dir.path("pingrove")));
    services.reset(new Services{*echoService, pump, *soundService, messages, chooser, tray,
                                notifier, *settings, QString::fromStdString(ListPath()),
                                platformId(), QString::fromStdString(HistoryPath())});
    form = std::make_unique<MainWindow>(*services);
    form3 = std::make_unique<AddTargetDialog>(form.get());
    form4 = std::make_unique<SettingsDialog>(sound, chooser, QStringLiteral("/usr/share/sounds"),
                                             images::playGlyph(), form.get());
    about = std::make_unique<AboutBox>(form.get());
    form->setDialogs(form3.get(), form4.get(), about.get());
    Scans()->probe().delayMs = 0;  // the pause after each probe only slows the tests
    if (beforeShow) beforeShow(*form);
    form->showAtStart();
}

void Window::TearDown() {
    about.reset();
    form4.reset();
    form3.reset();
    if (form) Timer()->stop();
    form.reset();
}

void Window::WhenModal(std::function<void(QWidget*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start();
}

bool Window::WaitFor(const std::function<bool()>& done, std::source_location where) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 5);
    if (done()) return true;
    ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line()))
        << "waited 5 s for a condition that never held";
    return false;
}
