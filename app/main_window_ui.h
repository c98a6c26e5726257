#pragma once
// The main window's widget tree, built in one place. Every control keeps the object name of the
// window's design (SpeedButton2, N9, ListView1, StatusPanel0...), by which scripts, tests and the
// accessibility bus find it; the members say what each one is for.
#include <QIcon>
#include <QVector>
#include <array>

class QAction;
class QGroupBox;
class QHeaderView;
class QLabel;
class QMainWindow;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QStatusBar;
class QToolBar;
class QToolButton;
class TargetListView;

// The four panels of the status bar.
enum class Panel { Probe = 0, Sound = 1, AutoScan = 2, Countdown = 3 };
// The pictures of the menu items and toolbar buttons, in their list's order.
enum class MenuPicture {
    SelectScan = 0,
    AllScan = 1,
    AddTarget = 2,
    UpdateTarget = 3,
    DeleteTarget = 4
};

struct MainWindowUi {
    // Builds the tree into `window`, with the menu pictures in MenuPicture's order.
    void setupUi(QMainWindow* window, const QVector<QIcon>& menuPictures);
    QLabel* panel(Panel p) const { return panels[static_cast<int>(p)]; }

    // The commands (Action1 to Action5); menus, buttons and keys trigger them.
    QAction* addTarget = nullptr;     // Action1
    QAction* updateTarget = nullptr;  // Action2, hidden
    QAction* deleteTarget = nullptr;  // Action3
    QAction* selectScan = nullptr;    // Action4
    QAction* allScan = nullptr;       // Action5

    QToolBar* toolBar = nullptr;
    QToolButton* allScanButton = nullptr;     // SpeedButton1
    QToolButton* selectScanButton = nullptr;  // SpeedButton2
    QToolButton* addButton = nullptr;         // SpeedButton3
    QToolButton* updateButton = nullptr;      // SpeedButton4, hidden
    QToolButton* deleteButton = nullptr;      // SpeedButton5
    QToolButton* stopButton = nullptr;        // SpeedButton6

    QSplitter* splitter = nullptr;
    QGroupBox* targetsBox = nullptr;   // GroupBox1
    TargetListView* list = nullptr;    // ListView1
    QGroupBox* logBox = nullptr;       // GroupBox2
    QHeaderView* logHeader = nullptr;  // HeaderControl1
    QPlainTextEdit* log = nullptr;     // Memo1
    QStatusBar* statusBar = nullptr;
    std::array<QLabel*, 4> panels{};

    QAction* exitItem = nullptr;        // Exit1
    QMenu* scanMenu = nullptr;          // N8 "偵察"
    QAction* selectScanItem = nullptr;  // N9
    QAction* allScanItem = nullptr;     // N10
    QMenu* editMenu = nullptr;          // Edit1 "編集"
    QAction* addItem = nullptr;         // N11
    QAction* deleteItem = nullptr;      // Delete1
    QAction* settingsItem = nullptr;    // N1 "設定"
    QAction* aboutItem = nullptr;       // About1

    QMenu* listMenu = nullptr;          // PopupMenu1, the list's context menu
    QAction* listSelectScan = nullptr;  // N6
    QAction* listAllScan = nullptr;     // N7
    QAction* listAdd = nullptr;         // N2
    QAction* listUpdate = nullptr;      // N3, hidden
    QAction* listDelete = nullptr;      // N4

    QMenu* trayMenu = nullptr;       // PopupMenu2
    QAction* trayRestore = nullptr;  // Undo1 "元に戻す"
    QAction* trayExit = nullptr;     // Exit2
};
