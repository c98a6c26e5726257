#include "app/main_window_ui.h"

#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>

#include "app/image_lists.h"
#include "app/program_info.h"
#include "app/target_list_view.h"

namespace {

QAction* Command(QMainWindow* w, const char* name, const QString& hint) {
    auto* a = new QAction(w);
    a->setObjectName(name);
    a->setToolTip(hint);
    a->setStatusTip(hint);
    return a;
}

QToolButton* Button(QToolBar* bar, const char* name, const QIcon& icon, QAction* command,
                    const QString& hint) {
    auto* b = new QToolButton(bar);
    b->setObjectName(name);
    b->setIcon(icon);
    b->setToolTip(hint);
    b->setAccessibleName(hint);  // a glyph alone says nothing to a screen reader
    b->setFixedSize(23, 22);
    b->setAutoRaise(true);
    if (command) QObject::connect(b, &QToolButton::clicked, command, &QAction::trigger);
    bar->addWidget(b);
    return b;
}

// A menu item that runs a command; `picture` -1 for none.
QAction* Item(QMainWindow* w, const char* name, const QString& text, const QVector<QIcon>& pictures,
              MenuPicture picture, QAction* command) {
    auto* a = new QAction(text, w);
    a->setObjectName(name);
    a->setIcon(pictures[static_cast<int>(picture)]);
    if (command) QObject::connect(a, &QAction::triggered, command, &QAction::trigger);
    return a;
}

QAction* PlainItem(QMainWindow* w, const char* name, const QString& text) {
    auto* a = new QAction(text, w);
    a->setObjectName(name);
    return a;
}

void NameScrollBars(QAbstractScrollArea* area, const QString& name) {
    area->verticalScrollBar()->setAccessibleName(name + QStringLiteral("（縦スクロール）"));
    area->horizontalScrollBar()->setAccessibleName(name + QStringLiteral("（横スクロール）"));
}

// The keys a Qt user tries, none of them shown in a menu: the menus keep their captions. Each key
// clicks the control that runs its command, so the scan lock holds for keys too.
void AddKeys(QMainWindow* w, MainWindowUi& ui) {
    auto key = [](QKeySequence k, QWidget* scope, Qt::ShortcutContext context,
                  std::function<void()> run) {
        auto* s = new QShortcut(k, scope, std::move(run));
        s->setContext(context);
    };
    auto click = [](QToolButton* b) {
        return [b] {
            if (b->isEnabled()) b->click();
        };
    };
    key(Qt::Key_Return, ui.list, Qt::WidgetShortcut,
        click(ui.selectScanButton));  // as a double click
    key(Qt::Key_Enter, ui.list, Qt::WidgetShortcut, click(ui.selectScanButton));
    key(Qt::Key_Delete, ui.list, Qt::WidgetShortcut, click(ui.deleteButton));
    key(Qt::Key_Insert, w, Qt::WindowShortcut, click(ui.addButton));
    key(Qt::Key_F5, w, Qt::WindowShortcut, click(ui.allScanButton));
    key(Qt::Key_Escape, w, Qt::WindowShortcut, click(ui.stopButton));
    key(Qt::Key_F10, w, Qt::WindowShortcut, [w] {
        QMenuBar* bar = w->menuBar();
        if (bar->actions().isEmpty()) return;
        bar->setFocus(Qt::MenuBarFocusReason);
        bar->setActiveAction(bar->actions().first());
    });
}

}  // namespace

void MainWindowUi::setupUi(QMainWindow* w, const QVector<QIcon>& pictures) {
    w->setObjectName("Form1");
    w->setWindowTitle(QString::fromUtf8(kProgramCaption));
    w->setWindowIcon(images::programIcon());
    addTarget = Command(w, "Action1", QStringLiteral("偵察先の追加"));
    updateTarget = Command(w, "Action2", QStringLiteral("偵察先の更新"));
    deleteTarget = Command(w, "Action3", QStringLiteral("偵察先の削除"));
    selectScan = Command(w, "Action4", QStringLiteral("選択偵察"));
    allScan = Command(w, "Action5", QStringLiteral("全偵察"));

    // The main menu: 終了, 偵察, 編集, 設定, バージョン情報.
    QMenuBar* bar = w->menuBar();
    bar->setObjectName("MainMenu1");
    exitItem = bar->addAction(QStringLiteral("終了"));
    exitItem->setObjectName("Exit1");
    scanMenu = bar->addMenu(QStringLiteral("偵察"));
    scanMenu->setObjectName("N8");
    selectScanItem =
        Item(w, "N9", QStringLiteral("選択偵察"), pictures, MenuPicture::SelectScan, selectScan);
    allScanItem = Item(w, "N10", QStringLiteral("全偵察"), pictures, MenuPicture::AllScan, allScan);
    selectScanItem->setEnabled(false);
    scanMenu->addActions({selectScanItem, allScanItem});
    editMenu = bar->addMenu(QStringLiteral("編集"));
    editMenu->setObjectName("Edit1");
    addItem =
        Item(w, "N11", QStringLiteral("偵察先の追加"), pictures, MenuPicture::AddTarget, addTarget);
    deleteItem = Item(w, "Delete1", QStringLiteral("偵察先の削除"), pictures,
                      MenuPicture::DeleteTarget, deleteTarget);
    deleteItem->setEnabled(false);
    editMenu->addActions({addItem, deleteItem});
    settingsItem = PlainItem(w, "N1", QStringLiteral("設定"));
    bar->addAction(settingsItem);
    aboutItem = PlainItem(w, "About1", QStringLiteral("バージョン情報"));
    bar->addAction(aboutItem);

    listMenu = new QMenu(w);
    listMenu->setObjectName("PopupMenu1");
    listSelectScan =
        Item(w, "N6", QStringLiteral("選択偵察"), pictures, MenuPicture::SelectScan, selectScan);
    listSelectScan->setEnabled(false);
    listAllScan = Item(w, "N7", QStringLiteral("全偵察"), pictures, MenuPicture::AllScan, allScan);
    listAdd =
        Item(w, "N2", QStringLiteral("偵察先の追加"), pictures, MenuPicture::AddTarget, addTarget);
    listUpdate = Item(w, "N3", QStringLiteral("偵察先の更新"), pictures, MenuPicture::UpdateTarget,
                      updateTarget);
    listUpdate->setVisible(false);
    listDelete = Item(w, "N4", QStringLiteral("偵察先の削除"), pictures, MenuPicture::DeleteTarget,
                      deleteTarget);
    listDelete->setEnabled(false);
    listMenu->addActions({listSelectScan, listAllScan});
    listMenu->addSeparator()->setObjectName("N5");
    listMenu->addActions({listAdd, listUpdate, listDelete});

    trayMenu = new QMenu(w);
    trayMenu->setObjectName("PopupMenu2");
    trayRestore = PlainItem(w, "Undo1", QStringLiteral("元に戻す"));
    trayExit = PlainItem(w, "Exit2", QStringLiteral("終了"));
    trayMenu->addActions({trayRestore, trayExit});

    toolBar = new QToolBar(w);
    toolBar->setObjectName("ToolBar1");
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->setFixedHeight(29);
    toolBar->setIconSize(QSize(16, 16));
    toolBar->toggleViewAction()->setVisible(false);
    w->addToolBar(Qt::TopToolBarArea, toolBar);
    auto picture = [&](MenuPicture p) { return pictures[static_cast<int>(p)]; };
    selectScanButton = Button(toolBar, "SpeedButton2", picture(MenuPicture::SelectScan), selectScan,
                              QStringLiteral("選択偵察"));
    allScanButton = Button(toolBar, "SpeedButton1", picture(MenuPicture::AllScan), allScan,
                           QStringLiteral("全偵察"));
    stopButton =
        Button(toolBar, "SpeedButton6", images::stopGlyph(), nullptr, QStringLiteral("偵察の停止"));
    auto* gap = new QWidget(toolBar);
    gap->setObjectName("ToolButton3");
    gap->setFixedWidth(8);
    toolBar->addWidget(gap);
    addButton = Button(toolBar, "SpeedButton3", picture(MenuPicture::AddTarget), addTarget,
                       QStringLiteral("偵察先の追加"));
    deleteButton = Button(toolBar, "SpeedButton5", picture(MenuPicture::DeleteTarget), deleteTarget,
                          QStringLiteral("偵察先の削除"));
    updateButton = Button(toolBar, "SpeedButton4", picture(MenuPicture::UpdateTarget), updateTarget,
                          QStringLiteral("偵察先の更新"));
    for (QToolButton* b : {selectScanButton, deleteButton, updateButton}) b->setEnabled(false);
    // A hidden widget inside a tool bar must be hidden through its action.
    for (QAction* a : toolBar->actions())
        if (toolBar->widgetForAction(a) == updateButton) a->setVisible(false);

    splitter = new QSplitter(Qt::Vertical, w);
    splitter->setObjectName("Splitter1");
    splitter->setHandleWidth(5);
    splitter->setChildrenCollapsible(false);
    w->setCentralWidget(splitter);

    targetsBox = new QGroupBox(QStringLiteral("偵察先管理"), splitter);
    targetsBox->setObjectName("GroupBox1");
    auto* targetsLayout = new QVBoxLayout(targetsBox);
    targetsLayout->setContentsMargins(2, 2, 2, 2);
    list = new TargetListView(targetsBox);
    list->setAccessibleName(targetsBox->title());
    NameScrollBars(list, targetsBox->title());
    targetsLayout->addWidget(list);

    logBox = new QGroupBox(QStringLiteral("偵察ログ（偵察先がオンライン時に出力）"), splitter);
    logBox->setObjectName("GroupBox2");
    auto* logLayout = new QVBoxLayout(logBox);
    logLayout->setContentsMargins(2, 2, 2, 2);
    logLayout->setSpacing(0);
    logHeader = new QHeaderView(Qt::Horizontal, logBox);
    logHeader->setObjectName("HeaderControl1");
    auto* headerModel = new QStandardItemModel(0, 3, logHeader);
    headerModel->setHorizontalHeaderLabels({QStringLiteral("偵察年月日と偵察時間"),
                                            QStringLiteral("状態"),
                                            QStringLiteral("偵察先ＩＰアドレス")});
    logHeader->setModel(headerModel);
    logHeader->setSectionsMovable(false);
    logHeader->setSectionsClickable(false);
    logHeader->setSectionResizeMode(QHeaderView::Fixed);
    logHeader->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    logHeader->resizeSection(0, 186);
    logHeader->resizeSection(1, 71);
    logHeader->resizeSection(2, 100);
    logHeader->setStretchLastSection(false);
    logHeader->setFixedHeight(17);
    logLayout->addWidget(logHeader);
    log = new QPlainTextEdit(logBox);
    log->setObjectName("Memo1");
    log->setAccessibleName(QStringLiteral("偵察ログ"));
    NameScrollBars(log, log->accessibleName());
    log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log->setLineWrapMode(QPlainTextEdit::NoWrap);
    log->setContextMenuPolicy(Qt::CustomContextMenu);
    logLayout->addWidget(log);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({172, 300});

    statusBar = new QStatusBar(w);
    statusBar->setObjectName("StatusBar1");
    statusBar->setFixedHeight(19);
    statusBar->setSizeGripEnabled(true);
    w->setStatusBar(statusBar);
    const int widths[3] = {180, 60, 130};
    for (int i = 0; i < 4; ++i) {
        panels[i] = new QLabel(statusBar);
        panels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (i < 3) {
            panels[i]->setFixedWidth(widths[i]);
            statusBar->addWidget(panels[i]);
        } else {
            panels[i]->setMinimumWidth(50);
            statusBar->addWidget(panels[i], 1);
        }
    }
    AddKeys(w, *this);
    w->resize(610, 490);
}
