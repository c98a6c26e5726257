#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QWindowStateChangeEvent>

#include "app/about_box.h"
#include "app/auto_scan_countdown.h"
#include "app/change_notices.h"
#include "app/close_query.h"
#include "app/echo_outage.h"
#include "app/fact_columns.h"
#include "app/history_log.h"
#include "app/image_lists.h"
#include "app/kept_files.h"
#include "app/normal_place_keeper.h"
#include "app/program_info.h"
#include "app/scan_display.h"
#include "app/scan_lock.h"
#include "app/scan_runner.h"
#include "app/status_texts.h"
#include "app/target_list_view.h"
#include "app/trouble_watch.h"
#include "app/uptime_history.h"
#include "app/window_placement.h"
#include "dialogs/add_target_dialog.h"
#include "dialogs/settings_dialog.h"
#include "platform/desktop_notifier.h"
#include "platform/message_box.h"
#include "platform/sound.h"
#include "platform/version.h"

MainWindow::MainWindow(Services& services, QWidget* parent)
    : QMainWindow(parent),
      services_(services),
      tray_(services.notificationArea, images::programIcon(), this, this),
      countdown_(new AutoScanCountdown(this)),
      scans_(new ScanRunner(services.echo, services.pump, this)),
      files_(services.settingsFile, services.targetListPath) {
    m_ui.setupUi(this, images::menuPictures());
    lock_ = std::make_unique<ScanLock>(*countdown_, [this] { updateCommands(); });
    display_ = new ScanDisplay(
        *scans_, *m_ui.list, *m_ui.panel(Panel::Probe), *m_ui.log, services_.sound, tray_,
        {[this] { return options_.soundOn ? options_.soundFile : QString(); }}, this);
    auto* trouble = new TroubleWatch(
        *scans_, *m_ui.list, services_.sound,
        {[this] { return options_.failsToConfirm; },
         [this] { return options_.offlineSoundOn ? options_.offlineSoundFile : QString(); }},
        this);
    connect(display_, &ScanDisplay::recorded, trouble, &TroubleWatch::recorded);
    // Through the tray's own connection: the list tells of its rows going as the window ends,
    // after the tray is gone.
    connect(trouble, &TroubleWatch::troubleChanged, &tray_,
            [this, mark = images::troubleMark()](const QStringList& first, int offline, int all) {
                tray_.setMark(offline > 0 ? mark : QIcon());
                tray_.setSummary(texts::troubleSummary(first, offline, all));
            });
    // Told while the user is not watching: the window hidden, minimised, or on screen behind
    // another program's window or on another workspace (no window of the program is active).
    auto* notices = new ChangeNotices(
        *scans_, services_.notifier,
        [this] {
            return options_.notifyOn &&
                   (isHidden() || isMinimized() || !QApplication::activeWindow());
        },
        this);
    connect(trouble, &TroubleWatch::told, notices, &ChangeNotices::changed);
    auto* uptime = new UptimeHistory(services_.historyPath, this);
    connect(display_, &ScanDisplay::stateChanged, uptime, &UptimeHistory::changed);
    factColumns_ = new FactColumns(*m_ui.list, *uptime, this);
    if (!services_.historyPath.isEmpty()) {
        history_ =
            new HistoryLog(services_.historyPath, *this, services_.messages, services_.notifier);
        connect(display_, &ScanDisplay::stateChanged, history_, &HistoryLog::changed);
    }
    new EchoOutage(*scans_, *countdown_,
                   {*m_ui.panel(Panel::AutoScan), *m_ui.panel(Panel::Countdown)}, *this,
                   services_.messages, services_.notifier, tray_);
    // A click on the notification brings the window back, from the tray or the task bar.
    services_.notifier.onActivated = [this] { bringForward(); };
    closeQuery_ = std::make_unique<CloseQuery>(
        services_.messages, this,
        CloseQuery::Steps{[this] {
                              scans_->requestStop();
                              scans_->waitForSelectScan();
                          },
                          [this] { saveFiles(); }, [this] { return files_.savedNote(); }});
    tray_.setObjectName("TrayIcon1");
    tray_.setMenu(m_ui.trayMenu);
    tray_.setHideSetting(true);
    tray_.setRestoreOn(TrayMouse::LeftClickUp);
    tray_.setMenuOn(TrayMouse::RightClickUp);
    connect(&tray_, &TrayIcon::restored, this, &MainWindow::onTrayRestore);
    // A panel that started while the window was minimised to the task bar takes it in.
    connect(&tray_, &TrayIcon::areaArrived, this, [this] {
        if (isMinimized() && isVisible() && options_.autoScanOn)
            onMinimized(windowState() & Qt::WindowMaximized);
    });
    connectCommands();

    loaded_ = files_.loadSettings();
    applySettings(loaded_);
    normalPlace_ = new NormalPlaceKeeper(*this);
    osFamily_ = osFamilyFromPlatformId(services_.platformId);
    // Only the frames this system shows are drawn.
    trayFrames_ = osFamily_ == "98" ? images::trayFramesFor98() : images::trayFrames();
    tray_.setFrames(&trayFrames_);
}

MainWindow::~MainWindow() {
    services_.notifier.onActivated = nullptr;  // a late click must not reach a closed window
}

void MainWindow::connectCommands() {
    connect(m_ui.addTarget, &QAction::triggered, this, &MainWindow::addTarget);
    connect(m_ui.deleteTarget, &QAction::triggered, this, &MainWindow::deleteTarget);
    connect(m_ui.selectScan, &QAction::triggered, this, &MainWindow::runSelectScan);
    connect(m_ui.allScan, &QAction::triggered, this, &MainWindow::runAllScan);
    connect(m_ui.stopButton, &QToolButton::clicked, this, &MainWindow::requestStop);
    connect(m_ui.exitItem, &QAction::triggered, this, &QWidget::close);
    connect(m_ui.trayExit, &QAction::triggered, this, &QWidget::close);
    connect(m_ui.trayRestore, &QAction::triggered, &tray_, &TrayIcon::restore);
    connect(m_ui.settingsItem, &QAction::triggered, this, &MainWindow::openSettings);
    connect(m_ui.aboutItem, &QAction::triggered, this, &MainWindow::showAbout);
    connect(m_ui.listMenu, &QMenu::aboutToShow, this, &MainWindow::onContextMenu);
    connect(m_ui.log, &QWidget::customContextMenuRequested, this, &MainWindow::showLogMenu);
    TargetListView* list = m_ui.list;
    connect(list, &TargetListView::rowSelectionChanged, this, &MainWindow::onRowSelection);
    connect(list, &QTreeWidget::itemDoubleClicked, this, &MainWindow::runSelectScan);
    connect(list->header(), &QHeaderView::sectionClicked, this, &MainWindow::sortByColumn);
    connect(list, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        if (contextMenuAllowed_) m_ui.listMenu->popup(m_ui.list->viewport()->mapToGlobal(p));
    });
    connect(countdown_, &AutoScanCountdown::displayChanged, this,
            [this](int m, int s) { setPanel(Panel::Countdown, texts::countdown(m, s)); });
    connect(countdown_, &AutoScanCountdown::due, this, &MainWindow::runAllScan);
    connect(scans_, &ScanRunner::allScanStarting, this, [this] {
        setPanel(Panel::Countdown,
                 texts::countdown(countdown_->remainingMinutes(), countdown_->remainingSeconds()));
        lock_->take(true);
    });
    connect(scans_, &ScanRunner::allScanFinished, this, &MainWindow::onAllScanFinished);
    connect(scans_, &ScanRunner::selectScanFinished, this, &MainWindow::onSelectScanFinished);
}

void MainWindow::setDialogs(AddTargetDialog* addDialog, SettingsDialog* settingsDialog,
                            AboutBox* about) {
    addDialog_ = addDialog;
    settingsDialog_ = settingsDialog;
    about_ = about;
    if (!settingsDialog_) return;
    connect(settingsDialog_, &SettingsDialog::soundFileChosen, this,
            [this](const QString& path) { options_.soundFile = path; });
    connect(settingsDialog_, &SettingsDialog::offlineSoundFileChosen, this,
            [this](const QString& path) { options_.offlineSoundFile = path; });
}

void MainWindow::setDialogMaker(std::function<void()> make) {
    makeDialogs_ = std::move(make);
}

void MainWindow::makeDialogs() {
    if (makeDialogs_) std::exchange(makeDialogs_, nullptr)();
}

void MainWindow::applySettings(const WindowSettings& s) {
    placeWindow(*this, s);
    for (int i = 0; i < kColumnCount; ++i) m_ui.list->setColumnWidth(i, s.columnWidths[i]);
    factColumns_->apply(s.shownColumns, s.columnWidths);
    options_ = s.options;
}

void MainWindow::showAtStart() {
    if (loaded_.windowState == 2) {
        showMaximized();
    } else if (loaded_.windowState == 1) {
        showMinimized();
    } else {
        show();
    }
}

void MainWindow::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (shown_) return;  // the target list is read once, not at every restore from the tray
    shown_ = true;
    loadTargets();
}

void MainWindow::loadTargets() {
    // An allocation refused while the rows are built (an address-space limit such as ulimit -v;
    // under Linux's overcommit the out-of-memory killer may act first) is a list too large to
    // hold: the window starts empty and the file is kept aside at the first save.
    if (!m_ui.list->appendRows(files_.loadTargets())) files_.targetsNotHeld();
    // Files that could not be read are told of once, in one message, when the window is up.
    if (const QString notRead = files_.notReadMessage(); !notRead.isEmpty())
        QTimer::singleShot(0, this, [this, notRead] {
            services_.messages.showError(this, ProductName(), notRead);
        });
    setPanel(Panel::Sound, texts::sound(options_.soundOn));
    countdown_->restart(options_.intervalMinutes());
    applyAutoScan();
    tray_.setHint(texts::hintNoOnline());
    itemSelected_ = false;
    rowButtonsOn_ = false;
    updateCommands();
}

void MainWindow::applyAutoScan() {
    if (countdown_->halted()) return;  // echo stopped: the panels keep saying so
    setPanel(Panel::AutoScan, texts::autoScan(options_.autoScanOn, options_.intervalText));
    countdown_->stop();
    if (options_.autoScanOn) countdown_->start();
}

void MainWindow::setPanel(Panel p, const QString& text) {
    m_ui.panel(p)->setText(text);
}

// ---- closing, minimising, the tray

void MainWindow::saveFiles() {
    WindowSettings s = loaded_;
    // Shown once and hidden now: in the tray.
    recordPlace(*this, normalPlace_->place(), shown_ && isHidden(), s);
    for (int i = 0; i < kColumnCount; ++i) s.columnWidths[i] = m_ui.list->columnWidth(i);
    for (int i = kColumnCount; i < kAllColumnCount; ++i) s.columnWidths[i] = factColumns_->width(i);
    s.shownColumns = factColumns_->shown();
    s.options = options_;
    std::vector<Target> targets;
    for (int i = 0; i < m_ui.list->rowCount(); ++i)
        targets.push_back(TargetListView::targetOf(m_ui.list->row(i)));
    files_.save(s, targets);
}

void MainWindow::closeEvent(QCloseEvent* e) {
    if (!closeQuery_->ask()) {
        e->ignore();
        return;
    }
    if (tray_.isVisible()) tray_.sessionEnding();
    e->accept();
    emit closed();
}

bool MainWindow::endSession(bool mayAsk) {
    if (mayAsk) {
        if (close()) return true;
        // The session's notice took the tray icon away: a window left in the tray comes back.
        if (isHidden()) tray_.restore();
        return false;
    }
    closeQuery_->closeUnasked();
    emit closed();
    return true;
}

void MainWindow::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange) return;
    auto* change = static_cast<QWindowStateChangeEvent*>(e);
    if (isMinimized() && !(change->oldState() & Qt::WindowMinimized))
        onMinimized(change->oldState() & Qt::WindowMaximized);
}

void MainWindow::onMinimized(bool wasMaximized) {
    // Without any notification area the window minimises to the task bar, as with auto scan off.
    if (options_.autoScanOn && tray_.areaExists()) {
        try {
            tray_.setVisible(true);
        } catch (const EOutOfResources& ex) {
            // The minimise does not go ahead without its icon. The window system may report the
            // same minimise twice; the user hears of it once.
            setWindowState(windowState() & ~Qt::WindowMinimized);
            if (!minimizeRefused_.isValid() || minimizeRefused_.hasExpired(1000)) {
                minimizeRefused_.start();
                services_.messages.showError(this, ProductName(), QString::fromUtf8(ex.what()));
            }
            return;
        }
    } else if (options_.autoScanOn) {
        tray_.awaitArea();
    }
    tray_.windowMinimized(wasMaximized, normalPlace_->client());
}

void MainWindow::bringForward() {
    tray_.restore();
}

void MainWindow::onTrayRestore() {
    if (options_.autoScanOn) tray_.setVisible(false);
}

void MainWindow::showAbout() {
    makeDialogs();
    if (about_) about_->showCentredOnScreen(this);
}
