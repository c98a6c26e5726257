#pragma once
// TForm1, the main window: the target list, the scan log, the status bar, the commands, the scans
// and the auto-scan countdown. Its fields are the state the scans, the reply handling and the
// dialogs share; everything here belongs to the UI thread.
#include <QElapsedTimer>
#include <QIcon>
#include <QMainWindow>
#include <QTimer>
#include <QVector>
#include <array>
#include <memory>
#include <string>

#include "app/services.h"
#include "desktop/tray_icon.h"
#include "probe/mx_icmp.h"
#include "settings/settings_file.h"
#include "settings/target_list_file.h"

class QAction;
class QGroupBox;
class QHeaderView;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QStatusBar;
class QToolBar;
class QToolButton;
class QTreeWidgetItem;
class TAboutBox;
class TForm3;
class TForm4;
class TListView;
class TPingThread;

// The window geometry to show: `wanted` when its title bar can be reached on one of the screens'
// available areas and it fits there; otherwise moved onto the nearest screen and cut to its size.
QRect ReachableGeometry(const QRect& wanted, const QList<QRect>& screens);

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // Reads the settings; raises EICMPError when no ICMP echo socket can be opened.
    explicit TForm1(TServices& services, QWidget* parent = nullptr);
    ~TForm1() override;
    void SetDialogs(TForm3* form3, TForm4* form4, TAboutBox* about);
    // Shows the window in the state the settings name.
    void ShowAtStart();

    // Shared state.
    std::string OsFamily;
    bool ItemSelected = false;
    int SortColumn = 0;
    bool SortDescending = false;
    bool OnlineFound = false;
    bool StopRequested = false;
    bool AllScanRunning = false;
    bool SoundOn = false;
    bool AutoScanOn = false;
    QString IntervalText;
    QString SoundFile;
    int ElapsedSeconds = 0;
    int IntervalSeconds = 0;
    int RemainingMinutes = 0;
    int RemainingSeconds = 0;

    // Commands and handlers.
    void Action1Execute();
    void Action2Execute() {}
    void Action3Execute();
    void Action4Execute();
    void Action5Execute();
    void SpeedButton6Click() { StopRequested = true; }
    void Timer1Timer();
    void MxICMP1Reply(TMxICMP* sender, int status, const std::string& ipAddress, int rtt,
                      uint8_t ttl);
    void ListView1SelectItem(QTreeWidgetItem* item, bool selected);
    void PopupMenu1Popup();
    void ListView1ColumnClick(int column);
    void N1Click();
    void About1Click();
    void Exit1Click() { close(); }
    void Exit2Click() { close(); }
    void Undo1Click() { TrayIcon1.Restore(); }
    void TrayIcon1Restore();
    void FormShow();
    bool FormCloseQuery();
    // Saves the settings, then the target list; raises an error naming the file that failed.
    void FormClose();
    // The desktop session is ending. Asks as a close does when the session manager lets us ask;
    // when it does not, saves without asking. False when the user chose to stay.
    bool EndSession(bool mayAsk);

    // Services for the scans and the dialogs.
    void SetPanel(int i, const QString& text);
    QString Panel(int i) const;
    void StartCountdown(int minutes);
    void TakeScanLock(bool allScan);
    void ReleaseSelectScan();
    bool SelectScanRunning() const { return selectScanRunning_; }
    // Lets events run until the select scan's worker has finished and its effects are in.
    void WaitForSelectScan();
    TTrayIcon& Tray() { return TrayIcon1; }

    // Controls and components, named as in the window's design.
    QToolBar* ToolBar1;
    QToolButton* SpeedButton1;
    QToolButton* SpeedButton2;
    QToolButton* SpeedButton3;
    QToolButton* SpeedButton4;
    QToolButton* SpeedButton5;
    QToolButton* SpeedButton6;
    QGroupBox* GroupBox1;
    QGroupBox* GroupBox2;
    QSplitter* Splitter1;
    TListView* ListView1;
    QHeaderView* HeaderControl1;
    QPlainTextEdit* Memo1;
    QStatusBar* StatusBar1;
    QLabel* StatusPanels[4];
    QAction* Action1;
    QAction* Action2;
    QAction* Action3;
    QAction* Action4;
    QAction* Action5;
    QAction* Exit1;
    QMenu* N8;
    QAction* N9;
    QAction* N10;
    QMenu* Edit1;
    QAction* N11;
    QAction* Delete1;
    QAction* N1;
    QAction* About1;
    QMenu* PopupMenu1;
    QAction* N6;
    QAction* N7;
    QAction* N2;
    QAction* N3;
    QAction* N4;
    QMenu* PopupMenu2;
    QAction* Undo1;
    QAction* Exit2;
    bool PopupMenu1AutoPopup = true;
    QTimer Timer1;
    TMxICMP MxICMP1;
    QVector<QIcon> ImageList2;
    QVector<QIcon> ImageList3;
    QVector<QIcon> ImageList4;
    TTrayIcon TrayIcon1;

signals:
    // A close was accepted and the files are saved (or the user chose to go without them): the
    // program ends, whether the window was on screen or hidden in the tray.
    void Closed();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void moveEvent(QMoveEvent* e) override;

private:
    void BuildWindow();
    void BuildMenus();
    void BuildToolBar();
    void AddKeyboardCommands();
    void ApplySettings(const TFormSettings& s);
    void HandleReply(int status, const QString& ipAddress, const QString& address);
    void FinishAllScan();
    // The context menu, "設定", "偵察" and "編集": what the scan lock takes besides the buttons.
    void SetMenusUnlocked(bool unlocked);
    // SpeedButton1 to SpeedButton5, the buttons the scan lock disables.
    std::array<QToolButton*, 5> LockedButtons() const {
        return {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4, SpeedButton5};
    }
    // Timer1 stopped with its running state saved in its Tag, and started again by that Tag.
    void PauseMainTimer();
    void RestoreMainTimer();
    void MinimizeHook(bool wasMaximized);
    void ShowError(const QString& text);
    QToolButton* MakeButton(const char* name, const QIcon& icon, const QString& hint,
                            QAction* action);

    TServices& services_;
    TFormSettings loaded_;
    TTargetListFile targetList_;
    TForm3* form3_ = nullptr;
    TForm4* form4_ = nullptr;
    TAboutBox* about_ = nullptr;
    std::unique_ptr<TPingThread> pingThread_;
    bool selectScanRunning_ = false;
    bool shown_ = false;
    QElapsedTimer minimizeRefused_;
    // How far the client area lies inside the frame, learnt while the window is in its normal
    // state: Qt keeps a maximised window's normal geometry as client area, the settings keep the
    // frame's origin, as move() takes it.
    QPoint frameOffset_;
};
