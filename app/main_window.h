#pragma once
// The main window: it routes the commands to the scans and the editing dialogs and shows what
// happens: the list, the scan log, the status bar and the tray icon. The widgets live in
// MainWindowUi, the scans in ScanRunner, the countdown in AutoScanCountdown, the scan lock in
// ScanLock; everything here belongs to the UI thread. The window is implemented in
// main_window.cpp, its commands (the list, scans, editing, settings) in main_window_commands.cpp.
//
// Where the window's design names are found:
//   TForm1 MainWindow          Action1Execute addTarget        Action3Execute deleteTarget
//   Action4Execute runSelectScan   Action5Execute runAllScan   MxICMP1Reply ScanDisplay::replied
//   Timer1Timer AutoScanCountdown::tick     StartCountdown AutoScanCountdown::restart
//   SpeedButton6Click requestStop   ListView1SelectItem onRowSelection
//   PopupMenu1Popup onContextMenu   ListView1ColumnClick sortByColumn   N1Click openSettings
//   About1Click showAbout   FormShow loadTargets   FormCloseQuery CloseQuery::ask
//   FormClose saveFiles   TrayIcon1Restore onTrayRestore   TakeScanLock ScanLock::take
//   ItemSelected itemSelected_   SortDescending sortDescending_   SoundOn, AutoScanOn,
//   IntervalText, SoundFile: options_ (an Options: CBX1, CBX2, MIN, DF)
//   OsFamily osFamily_   OnlineFound, StopRequested, AllScanRunning: ScanRunner
//   MxICMP1 ScanRunner::probe() (an EchoProbe)   TPingThread PingWorker   TrayIcon1 tray_
//   ImageList1 images::rowStateIcons   ImageList2/3 images::trayFramesFor98/trayFrames
//   ImageList4 images::menuPictures
// Controls keep their design names as object names (see MainWindowUi).
#include <QElapsedTimer>
#include <QIcon>
#include <QMainWindow>
#include <QVector>
#include <functional>
#include <memory>
#include <string>

#include "app/kept_files.h"
#include "app/main_window_ui.h"
#include "app/services.h"
#include "desktop/tray_icon.h"
#include "settings/settings_file.h"

class AboutBox;
class AddTargetDialog;
class AutoScanCountdown;
class CloseQuery;
class FactColumns;
class HistoryLog;
class NormalPlaceKeeper;
class QTreeWidgetItem;
class ScanLock;
class ScanDisplay;
class ScanRunner;
class SettingsDialog;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Reads the settings; raises IcmpUnavailable when no ICMP echo socket can be opened.
    explicit MainWindow(Services& services, QWidget* parent = nullptr);
    ~MainWindow() override;
    void setDialogs(AddTargetDialog* addDialog, SettingsDialog* settingsDialog, AboutBox* about);
    // The dialogs made at the first command that needs one (it calls setDialogs): a start that
    // builds them before the window shows makes the user wait for windows they may never open.
    void setDialogMaker(std::function<void()> make);
    // Shows the window in the state the settings name.
    void showAtStart();
    // The desktop session is ending. Asks as a close does when the session manager lets us ask;
    // when it does not, saves without asking. False when the user chose to stay.
    bool endSession(bool mayAsk);
    // Brings the window back from the tray or the task bar (as it was, normal or maximised), or
    // raises it: a click on a notification, another start of the program.
    void bringForward();

public slots:
    void addTarget();
    void deleteTarget();
    void runSelectScan();
    void runAllScan();
    void requestStop();
    void sortByColumn(int column);
    void openSettings();
    void showAbout();
    // The log's own context menu: the text box's commands and 「ログを保存…」.
    void showLogMenu(const QPoint& at);
    // Saves the scan log as shown, in UTF-8, to a file the user chooses (an atomic write).
    void saveLog();
    void onContextMenu();

signals:
    // A close was accepted and the files are saved (or the user chose to go without them): the
    // program ends, whether the window was on screen or hidden in the tray.
    void closed();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void connectCommands();
    void applySettings(const WindowSettings& s);
    void makeDialogs();
    void loadTargets();
    // Saves the settings, then the target list; raises an error naming the file that failed.
    void saveFiles();
    void setPanel(Panel p, const QString& text);
    // Panel 2 and the countdown's timer after the auto-scan switch or interval was set.
    void applyAutoScan();
    // Enables the commands from the scan lock and the selection; called wherever either changes.
    void updateCommands();
    void onRowSelection(QTreeWidgetItem* row, bool selected);
    void onAllScanFinished();
    void onSelectScanFinished();
    void onMinimized(bool wasMaximized);
    void onTrayRestore();

    MainWindowUi m_ui;
    Services& services_;
    QVector<QIcon> trayFrames_;  // ImageList2 on the "98" family, else ImageList3
    TrayIcon tray_;
    AutoScanCountdown* countdown_;
    ScanRunner* scans_;
    ScanDisplay* display_ = nullptr;
    std::unique_ptr<ScanLock> lock_;
    std::unique_ptr<CloseQuery> closeQuery_;
    WindowSettings loaded_;
    KeptFiles files_;
    AddTargetDialog* addDialog_ = nullptr;
    SettingsDialog* settingsDialog_ = nullptr;
    AboutBox* about_ = nullptr;
    std::function<void()> makeDialogs_;

    std::string osFamily_;
    bool itemSelected_ = false;
    bool rowButtonsOn_ = false;  // see CommandInputs
    bool sortDescending_ = false;
    bool contextMenuAllowed_ = true;  // PopupMenu1's AutoPopup
    Options options_;
    bool shown_ = false;
    QElapsedTimer minimizeRefused_;
    NormalPlaceKeeper* normalPlace_ = nullptr;  // a child
    HistoryLog* history_ = nullptr;             // a child, when a history is kept
    FactColumns* factColumns_ = nullptr;        // a child
};
