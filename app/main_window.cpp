#include "app/main_window.h"

#include <QAction>
#include <algorithm>
#include <functional>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMoveEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

#include "app/about_box.h"
#include "app/image_lists.h"
#include "app/ping_thread.h"
#include "app/status_texts.h"
#include "app/target_list_view.h"
#include "platform/event_pump.h"
#include "platform/message_box.h"
#include "platform/sound.h"
#include "platform/version.h"
#include "settings/add_target_dialog.h"
#include "settings/settings_dialog.h"
#include "settings/target_list_file.h"

namespace {

const QString kCaption = QStringLiteral("ピングローブ");

// Every component carries an integer Tag; the scans and the dialogs save enabled states in it.
void SetTag(QObject* o, int tag) {
    o->setProperty("Tag", tag);
}
int Tag(const QObject* o) {
    return o->property("Tag").toInt();
}

// Centres a dialog's frame over `area` at every showing. Left to Qt, a dialog shown again is
// placed from a guess at its frame and lands 20 px off every other time.
void CentreOver(QWidget* dialog, const QWidget* window, const QRect& area) {
    QSize frame = dialog->frameGeometry().size() - dialog->size();  // known once it was shown
    if (frame.isEmpty()) frame = window->frameGeometry().size() - window->size();
    QRect r(QPoint(), dialog->size() + frame);
    r.moveCenter(area.center());
    dialog->move(r.topLeft());
}

void CentreOver(QWidget* dialog, const QWidget* window) {
    CentreOver(dialog, window, window->frameGeometry());
}

void NameScrollBars(QAbstractScrollArea* area, const QString& name) {
    area->verticalScrollBar()->setAccessibleName(name + QStringLiteral("（縦スクロール）"));
    area->horizontalScrollBar()->setAccessibleName(name + QStringLiteral("（横スクロール）"));
}

}  // namespace

TForm1::TForm1(TServices& services, QWidget* parent)
    : QMainWindow(parent),
      MxICMP1(services.echo, services.pump),
      ImageList2(images::ImageList2()),
      ImageList3(images::ImageList3()),
      ImageList4(images::ImageList4()),
      TrayIcon1(services.notificationArea, images::ProgramIcon(), this),
      services_(services),
      targetList_(services.targetListPath) {
    setObjectName("Form1");
    BuildWindow();

    MxICMP1.Address = "192.168.0.1";
    MxICMP1.Timeout = 1000;
    MxICMP1.NumberOfPings = 1;
    MxICMP1.OnReply = [this](TMxICMP* s, int status, const std::string& ip, int rtt, uint8_t ttl) {
        MxICMP1Reply(s, status, ip, rtt, ttl);
    };
    Timer1.setObjectName("Timer1");
    Timer1.setInterval(1000);
    SetTag(&Timer1, 0);
    connect(&Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);

    TrayIcon1.PopupMenu = PopupMenu2;
    TrayIcon1.Hide = true;
    TrayIcon1.RestoreOn = imLeftClickUp;
    TrayIcon1.PopupMenuOn = imRightClickUp;
    TrayIcon1.OnRestore = [this] { TrayIcon1Restore(); };

    loaded_ = services_.settingsFile.Load();
    ApplySettings(loaded_);
    OsFamily = OsFamilyFromPlatformId(services_.platformId);
    TrayIcon1.SetIcons(OsFamily == "98" ? &ImageList2 : &ImageList3);
}

TForm1::~TForm1() {
    if (pingThread_) pingThread_->wait();
}

void TForm1::SetDialogs(TForm3* form3, TForm4* form4, TAboutBox* about) {
    form3_ = form3;
    form4_ = form4;
    about_ = about;
    if (form4_) {
        connect(form4_, &TForm4::SoundFileChosen, this,
                [this](const QString& path) { SoundFile = path; });
    }
}

QToolButton* TForm1::MakeButton(const char* name, const QIcon& icon, const QString& hint,
                                QAction* action) {
    auto* b = new QToolButton(ToolBar1);
    b->setObjectName(name);
    b->setIcon(icon);
    b->setToolTip(hint);
    b->setAccessibleName(hint);  // a glyph alone says nothing to a screen reader
    b->setFixedSize(23, 22);
    b->setAutoRaise(true);
    SetTag(b, 0);
    if (action) connect(b, &QToolButton::clicked, action, &QAction::trigger);
    ToolBar1->addWidget(b);
    return b;
}

void TForm1::BuildToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setFixedHeight(29);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    SpeedButton2 = MakeButton("SpeedButton2", ImageList4[0], QStringLiteral("選択偵察"), Action4);
    SpeedButton1 = MakeButton("SpeedButton1", ImageList4[1], QStringLiteral("全偵察"), Action5);
    SpeedButton6 =
        MakeButton("SpeedButton6", images::StopGlyph(), QStringLiteral("偵察の停止"), nullptr);
    connect(SpeedButton6, &QToolButton::clicked, this, &TForm1::SpeedButton6Click);
    auto* sep = new QWidget(ToolBar1);
    sep->setObjectName("ToolButton3");
    sep->setFixedWidth(8);
    ToolBar1->addWidget(sep);
    SpeedButton3 =
        MakeButton("SpeedButton3", ImageList4[2], QStringLiteral("偵察先の追加"), Action1);
    SpeedButton5 =
        MakeButton("SpeedButton5", ImageList4[4], QStringLiteral("偵察先の削除"), Action3);
    SpeedButton4 =
        MakeButton("SpeedButton4", ImageList4[3], QStringLiteral("偵察先の更新"), Action2);
    SpeedButton2->setEnabled(false);
    SpeedButton5->setEnabled(false);
    SpeedButton4->setEnabled(false);
    // A hidden widget inside a tool bar must be hidden through its action.
    for (QAction* a : ToolBar1->actions()) {
        if (ToolBar1->widgetForAction(a) == SpeedButton4) a->setVisible(false);
    }
}

void TForm1::BuildMenus() {
    auto action = [this](const char* name, const QString& text, int image) {
        auto* a = new QAction(text, this);
        a->setObjectName(name);
        if (image >= 0) a->setIcon(ImageList4[image]);
        return a;
    };
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");
    Exit1 = action("Exit1", QStringLiteral("終了"), -1);
    connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);
    bar->addAction(Exit1);
    N8 = bar->addMenu(QStringLiteral("偵察"));
    N8->setObjectName("N8");
    N9 = action("N9", QStringLiteral("選択偵察"), 0);
    N10 = action("N10", QStringLiteral("全偵察"), 1);
    N9->setEnabled(false);
    connect(N9, &QAction::triggered, Action4, &QAction::trigger);
    connect(N10, &QAction::triggered, Action5, &QAction::trigger);
    N8->addActions({N9, N10});
    Edit1 = bar->addMenu(QStringLiteral("編集"));
    Edit1->setObjectName("Edit1");
    N11 = action("N11", QStringLiteral("偵察先の追加"), 2);
    Delete1 = action("Delete1", QStringLiteral("偵察先の削除"), 4);
    Delete1->setEnabled(false);
    connect(N11, &QAction::triggered, Action1, &QAction::trigger);
    connect(Delete1, &QAction::triggered, Action3, &QAction::trigger);
    Edit1->addActions({N11, Delete1});
    N1 = action("N1", QStringLiteral("設定"), -1);
    connect(N1, &QAction::triggered, this, &TForm1::N1Click);
    bar->addAction(N1);
    About1 = action("About1", QStringLiteral("バージョン情報"), -1);
    connect(About1, &QAction::triggered, this, &TForm1::About1Click);
    bar->addAction(About1);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    N6 = action("N6", QStringLiteral("選択偵察"), 0);
    N6->setEnabled(false);
    N7 = action("N7", QStringLiteral("全偵察"), 1);
    N2 = action("N2", QStringLiteral("偵察先の追加"), 2);
    N3 = action("N3", QStringLiteral("偵察先の更新"), 3);
    N3->setVisible(false);
    N4 = action("N4", QStringLiteral("偵察先の削除"), 4);
    N4->setEnabled(false);
    connect(N6, &QAction::triggered, Action4, &QAction::trigger);
    connect(N7, &QAction::triggered, Action5, &QAction::trigger);
    connect(N2, &QAction::triggered, Action1, &QAction::trigger);
    connect(N3, &QAction::triggered, Action2, &QAction::trigger);
    connect(N4, &QAction::triggered, Action3, &QAction::trigger);
    PopupMenu1->addActions({N6, N7});
    PopupMenu1->addSeparator()->setObjectName("N5");
    PopupMenu1->addActions({N2, N3, N4});
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TForm1::PopupMenu1Popup);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName("PopupMenu2");
    Undo1 = action("Undo1", QStringLiteral("元に戻す"), -1);
    Exit2 = action("Exit2", QStringLiteral("終了"), -1);
    connect(Undo1, &QAction::triggered, this, &TForm1::Undo1Click);
    connect(Exit2, &QAction::triggered, this, &TForm1::Exit2Click);
    PopupMenu2->addActions({Undo1, Exit2});
}

void TForm1::BuildWindow() {
    setWindowTitle(QStringLiteral("ピングローブ v1.05"));
    setWindowIcon(images::ProgramIcon());
    auto makeAction = [this](const char* name, const QString& hint, void (TForm1::*handler)()) {
        auto* a = new QAction(this);
        a->setObjectName(name);
        a->setToolTip(hint);
        a->setStatusTip(hint);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    Action1 = makeAction("Action1", QStringLiteral("偵察先の追加"), &TForm1::Action1Execute);
    Action2 = makeAction("Action2", QStringLiteral("偵察先の更新"), &TForm1::Action2Execute);
    Action3 = makeAction("Action3", QStringLiteral("偵察先の削除"), &TForm1::Action3Execute);
    Action4 = makeAction("Action4", QStringLiteral("選択偵察"), &TForm1::Action4Execute);
    Action5 = makeAction("Action5", QStringLiteral("全偵察"), &TForm1::Action5Execute);

    BuildMenus();
    BuildToolBar();

    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(5);
    Splitter1->setChildrenCollapsible(false);
    setCentralWidget(Splitter1);

    GroupBox1 = new QGroupBox(QStringLiteral("偵察先管理"), Splitter1);
    GroupBox1->setObjectName("GroupBox1");
    auto* l1 = new QVBoxLayout(GroupBox1);
    l1->setContentsMargins(2, 2, 2, 2);
    ListView1 = new TListView(GroupBox1);
    l1->addWidget(ListView1);
    connect(ListView1, &TListView::SelectItem, this, &TForm1::ListView1SelectItem);
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this] { Action4Execute(); });
    connect(ListView1->header(), &QHeaderView::sectionClicked, this, &TForm1::ListView1ColumnClick);
    ListView1->setAccessibleName(GroupBox1->title());
    NameScrollBars(ListView1, GroupBox1->title());
    AddKeyboardCommands();
    connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        if (!PopupMenu1AutoPopup) return;
        PopupMenu1->popup(ListView1->viewport()->mapToGlobal(p));
    });

    GroupBox2 = new QGroupBox(QStringLiteral("偵察ログ（偵察先がオンライン時に出力）"), Splitter1);
    GroupBox2->setObjectName("GroupBox2");
    auto* l2 = new QVBoxLayout(GroupBox2);
    l2->setContentsMargins(2, 2, 2, 2);
    l2->setSpacing(0);
    HeaderControl1 = new QHeaderView(Qt::Horizontal, GroupBox2);
    HeaderControl1->setObjectName("HeaderControl1");
    auto* headerModel = new QStandardItemModel(0, 3, HeaderControl1);
    headerModel->setHorizontalHeaderLabels({QStringLiteral("偵察年月日と偵察時間"),
                                            QStringLiteral("状態"),
                                            QStringLiteral("偵察先ＩＰアドレス")});
    HeaderControl1->setModel(headerModel);
    HeaderControl1->setSectionsMovable(false);
    HeaderControl1->setSectionsClickable(false);
    HeaderControl1->setSectionResizeMode(QHeaderView::Fixed);
    HeaderControl1->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    HeaderControl1->resizeSection(0, 186);
    HeaderControl1->resizeSection(1, 71);
    HeaderControl1->resizeSection(2, 100);
    HeaderControl1->setStretchLastSection(false);
    HeaderControl1->setFixedHeight(17);
    l2->addWidget(HeaderControl1);
    Memo1 = new QPlainTextEdit(GroupBox2);
    Memo1->setObjectName("Memo1");
    Memo1->setAccessibleName(QStringLiteral("偵察ログ"));
    NameScrollBars(Memo1, Memo1->accessibleName());
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    l2->addWidget(Memo1);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({172, 300});

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(true);
    setStatusBar(StatusBar1);
    const int widths[3] = {180, 60, 130};
    for (int i = 0; i < 4; ++i) {
        StatusPanels[i] = new QLabel(StatusBar1);
        StatusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        StatusPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (i < 3) {
            StatusPanels[i]->setFixedWidth(widths[i]);
            StatusBar1->addWidget(StatusPanels[i]);
        } else {
            StatusPanels[i]->setMinimumWidth(50);
            StatusBar1->addWidget(StatusPanels[i], 1);
        }
    }
    resize(610, 490);
}

QRect ReachableGeometry(const QRect& wanted, const QList<QRect>& screens) {
    if (screens.isEmpty()) return wanted;
    // The title bar must be on some screen, or the user cannot take hold of the window.
    constexpr int kGrip = 40;
    for (const QRect& a : screens) {
        const QRect titleBar(wanted.left(), wanted.top(), wanted.width(), kGrip);
        if (wanted.width() <= a.width() && wanted.height() <= a.height() &&
            wanted.top() >= a.top() && a.intersected(titleBar).width() >= kGrip)
            return wanted;
    }
    // Onto the screen nearest to where the window was meant to be, within that screen's size.
    const QRect* best = &screens.first();
    auto distance = [&](const QRect& a) {
        const QPoint d = a.center() - wanted.topLeft();
        return static_cast<qint64>(d.x()) * d.x() + static_cast<qint64>(d.y()) * d.y();
    };
    for (const QRect& a : screens)
        if (distance(a) < distance(*best)) best = &a;
    QRect r(wanted.topLeft(), wanted.size().boundedTo(best->size()));
    r.moveLeft(std::clamp(r.left(), best->left(), best->right() - r.width() + 1));
    r.moveTop(std::clamp(r.top(), best->top(), best->bottom() - r.height() + 1));
    return r;
}

void TForm1::AddKeyboardCommands() {
    // The keys a Qt user tries, none of them shown in a menu: the menus keep their captions. Each
    // command goes through the control that runs it, so the scan lock holds for keys too.
    auto key = [this](QKeySequence k, QWidget* scope, std::function<void()> run) {
        auto* s = new QShortcut(k, scope, std::move(run));
        s->setContext(scope == this ? Qt::WindowShortcut : Qt::WidgetShortcut);
    };
    auto click = [](QToolButton* b) {
        return [b] {
            if (b->isEnabled()) b->click();
        };
    };
    key(Qt::Key_Return, ListView1, click(SpeedButton2));  // as a double click on the row
    key(Qt::Key_Enter, ListView1, click(SpeedButton2));
    key(Qt::Key_Delete, ListView1, click(SpeedButton5));
    key(Qt::Key_Insert, this, click(SpeedButton3));
    key(Qt::Key_F5, this, click(SpeedButton1));
    key(Qt::Key_Escape, this, click(SpeedButton6));
    key(Qt::Key_F10, this, [this] {
        if (!menuBar()->actions().isEmpty()) {
            menuBar()->setFocus(Qt::MenuBarFocusReason);
            menuBar()->setActiveAction(menuBar()->actions().first());
        }
    });
}

void TForm1::ApplySettings(const TFormSettings& s) {
    QList<QRect> screens;
    for (QScreen* screen : QGuiApplication::screens()) screens << screen->availableGeometry();
    const QRect wanted(s.Left, s.Top, std::max(1, s.Width), std::max(1, s.Height));
    const QRect r = ReachableGeometry(wanted, screens);
    move(r.topLeft());
    resize(r.size());
    for (int i = 0; i < 5; ++i) ListView1->setColumnWidth(i, s.LCWidth[i]);
    IntervalText = s.MIN;
    SoundOn = s.CBX1;
    AutoScanOn = s.CBX2;
    SoundFile = s.DF;
}

void TForm1::ShowAtStart() {
    if (loaded_.WindowState == 2) {
        showMaximized();
    } else if (loaded_.WindowState == 1) {
        showMinimized();
    } else {
        show();
    }
}

void TForm1::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (shown_) return;  // the target list is read once, not at every restore from the tray
    shown_ = true;
    FormShow();
}

void TForm1::FormShow() {
    for (const TTarget& t : targetList_.Load()) ListView1->AppendRow(t);
    SetPanel(1, texts::Sound(SoundOn));
    StartCountdown(countdown::IntervalMinutes(IntervalText));
    SetPanel(2, texts::AutoScan(AutoScanOn, IntervalText));
    if (AutoScanOn) {
        Timer1.start();
    } else {
        Timer1.stop();
    }
    TrayIcon1.SetHint(texts::HintNoOnline());
    ItemSelected = false;
    SortColumn = 0;
}

void TForm1::SetPanel(int i, const QString& text) {
    StatusPanels[i]->setText(text);
}
QString TForm1::Panel(int i) const {
    return StatusPanels[i]->text();
}

void TForm1::ShowError(const QString& text) {
    services_.messages.ShowError(this, QStringLiteral("ピングローブ"), text);
}

// ---- closing, minimising, the tray

bool TForm1::FormCloseQuery() {
    if (!services_.messages.AskYesNo(this, kCaption, QStringLiteral("終了しますか？")))
        return false;
    StopRequested = true;
    return true;
}

void TForm1::FormClose() {
    TFormSettings s = loaded_;
    // A maximised, minimised or tray-hidden window keeps the geometry it will come back to.
    const bool away = isMaximized() || isMinimized() || isHidden();
    const QRect r = away ? normalGeometry().translated(-frameOffset_) : QRect(pos(), size());
    s.Left = r.left();
    s.Top = r.top();
    s.Width = r.width();
    s.Height = r.height();
    s.WindowState = isMaximized() ? 2 : (isMinimized() ? 1 : 0);
    for (int i = 0; i < 5; ++i) s.LCWidth[i] = ListView1->columnWidth(i);
    s.MIN = IntervalText;
    s.CBX1 = SoundOn;
    s.CBX2 = AutoScanOn;
    s.DF = SoundFile;
    if (!services_.settingsFile.Save(s))
        throw std::runtime_error(QStringLiteral("%1 に書き込めません")
                                     .arg(services_.settingsFile.WritePath())
                                     .toStdString());
    std::vector<TTarget> targets;
    for (int i = 0; i < ListView1->RowCount(); ++i)
        targets.push_back(TListView::TargetOf(ListView1->Row(i)));
    // Unlike the settings, a failed list write once went unreported and lost the user's edits.
    if (!targetList_.Save(targets))
        throw std::runtime_error(
            QStringLiteral("%1 に書き込めません").arg(targetList_.FailedPath()).toStdString());
}

void TForm1::closeEvent(QCloseEvent* e) {
    if (!FormCloseQuery()) {
        e->ignore();
        return;
    }
    WaitForSelectScan();
    try {
        FormClose();
        if (targetList_.BackupWritten())
            services_.messages.Inform(
                this, kCaption,
                QStringLiteral("保存できない内容があったため、元の偵察先リストを %1 に残しました。")
                    .arg(targetList_.BackupPath()));
    } catch (const std::exception& ex) {
        ShowError(QString::fromUtf8(ex.what()));
        // A file that cannot be written must not keep the user in a window that never closes.
        if (!services_.messages.AskYesNo(this, kCaption,
                                         QStringLiteral("保存せずに終了しますか？"))) {
            e->ignore();
            return;
        }
    }
    if (TrayIcon1.Visible()) TrayIcon1.SessionEnding();
    e->accept();
    emit Closed();
}

bool TForm1::EndSession(bool mayAsk) {
    if (mayAsk) {
        if (close()) return true;
        // The session's notice took the tray icon away: a window left in the tray comes back.
        if (isHidden()) TrayIcon1.Restore();
        return false;
    }
    StopRequested = true;
    WaitForSelectScan();
    try {
        FormClose();
    } catch (const std::exception&) {
        // Nobody can be asked now; the files that could not be written keep their old content.
    }
    emit Closed();
    return true;
}

void TForm1::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange) return;
    auto* change = static_cast<QWindowStateChangeEvent*>(e);
    if (isMinimized() && !(change->oldState() & Qt::WindowMinimized))
        MinimizeHook(change->oldState() & Qt::WindowMaximized);
}

void TForm1::moveEvent(QMoveEvent* e) {
    QMainWindow::moveEvent(e);
    if (windowState() == Qt::WindowNoState && isVisible()) frameOffset_ = geometry().topLeft() - pos();
}

void TForm1::MinimizeHook(bool wasMaximized) {
    if (AutoScanOn) {
        try {
            TrayIcon1.SetVisible(true);
        } catch (const EOutOfResources& ex) {
            // The minimise does not go ahead without its icon. The window system may report the
            // same minimise twice; the user hears of it once.
            setWindowState(windowState() & ~Qt::WindowMinimized);
            if (!minimizeRefused_.isValid() || minimizeRefused_.hasExpired(1000)) {
                minimizeRefused_.start();
                ShowError(QString::fromUtf8(ex.what()));
            }
            return;
        }
    }
    TrayIcon1.WindowMinimized(wasMaximized);
}

void TForm1::TrayIcon1Restore() {
    if (AutoScanOn) TrayIcon1.SetVisible(false);
}

void TForm1::About1Click() {
    if (!about_) return;
    // The about box belongs to no part of the window: it opens in the middle of the screen.
    if (const QScreen* screen = this->screen())
        CentreOver(about_, this, screen->availableGeometry());
    about_->exec();
}

// ---- the list view

void TForm1::ListView1SelectItem(QTreeWidgetItem*, bool selected) {
    if (AllScanRunning) return;
    // While a select scan's worker runs, no second probe and no deletion may start.
    const bool enable = selected && !selectScanRunning_;
    for (QToolButton* b : {SpeedButton2, SpeedButton4, SpeedButton5}) b->setEnabled(enable);
    N9->setEnabled(enable);
    Delete1->setEnabled(enable);
    ItemSelected = selected;
}

void TForm1::PopupMenu1Popup() {
    N6->setEnabled(ItemSelected && !selectScanRunning_);
    N4->setEnabled(ItemSelected && !selectScanRunning_);
}

void TForm1::ListView1ColumnClick(int column) {
    if (!SpeedButton1->isEnabled()) return;
    SortColumn = column;
    ListView1->SortRows(column, SortDescending);
    SortDescending = !SortDescending;
}

// ---- the scan lock

void TForm1::TakeScanLock(bool allScan) {
    PauseMainTimer();
    for (QToolButton* b : LockedButtons()) {
        if (allScan) SetTag(b, b->isEnabled() ? 1 : 0);
        b->setEnabled(false);
    }
    SetMenusUnlocked(false);
}

void TForm1::SetMenusUnlocked(bool unlocked) {
    PopupMenu1AutoPopup = unlocked;
    N1->setEnabled(unlocked);
    N8->menuAction()->setEnabled(unlocked);
    Edit1->menuAction()->setEnabled(unlocked);
}

void TForm1::ReleaseSelectScan() {
    for (QToolButton* b : LockedButtons()) b->setEnabled(true);
    SetMenusUnlocked(true);
    RestoreMainTimer();
    selectScanRunning_ = false;
    // A row selected while the worker ran brings its menu commands back like any selection.
    N9->setEnabled(ItemSelected);
    Delete1->setEnabled(ItemSelected);
}

void TForm1::WaitForSelectScan() {
    while (selectScanRunning_) {
        if (pingThread_) pingThread_->wait(10);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

// ---- scans

void TForm1::Action4Execute() {
    if (!ItemSelected || !SpeedButton2->isEnabled() || selectScanRunning_) return;
    QTreeWidgetItem* row = ListView1->SelectedRow();
    if (!row) return;  // the selection was cleared during the last row of an all scan
    TakeScanLock(false);
    selectScanRunning_ = true;
    MxICMP1.Address = TListView::SubItem(row, 0).toStdString();
    TListView::RaiseCount(row, 3);
    ListView1->SetImage(row, 3);
    SetPanel(0, texts::Probing(QString::fromStdString(MxICMP1.Address)));
    if (pingThread_) pingThread_->wait();  // the previous worker has released; let it end
    pingThread_ = std::make_unique<TPingThread>(*this);
    pingThread_->start();
}

void TForm1::Action5Execute() {
    OnlineFound = false;
    StopRequested = false;
    AllScanRunning = true;
    SetPanel(3, texts::Countdown(RemainingMinutes, RemainingSeconds));
    TakeScanLock(true);
    try {
        for (int i = 0; i < ListView1->RowCount(); ++i) ListView1->SetImage(ListView1->Row(i), -1);
        for (int i = 0; i < ListView1->RowCount(); ++i) {
            QTreeWidgetItem* row = ListView1->Row(i);
            MxICMP1.Address = TListView::SubItem(row, 0).toStdString();
            TListView::RaiseCount(row, 3);
            services_.pump.ProcessEvents();
            if (StopRequested) break;
            ListView1->SetImage(row, 3);
            ListView1->FocusSelectScroll(row);
            SetPanel(0, texts::Probing(QString::fromStdString(MxICMP1.Address)));
            MxICMP1.Ping();
        }
    } catch (...) {
        // An error inside the pass must not leave the window locked for good.
        FinishAllScan();
        throw;
    }
    FinishAllScan();
}

void TForm1::FinishAllScan() {
    for (QToolButton* b : LockedButtons()) b->setEnabled(Tag(b) != 0);
    SetMenusUnlocked(true);
    if (RemainingMinutes == 0 && RemainingSeconds == 0) {
        ElapsedSeconds = -1;
        IntervalSeconds = countdown::IntervalSeconds(countdown::IntervalMinutes(IntervalText));
    }
    RestoreMainTimer();
    if (!OnlineFound) {
        TrayIcon1.SetAnimate(false);
        TrayIcon1.SetIconIndex(0);
        TrayIcon1.SetHint(texts::HintNoOnline());
    }
    AllScanRunning = false;
    StopRequested = false;
}

// ---- replies

void TForm1::MxICMP1Reply(TMxICMP*, int status, const std::string& ipAddress, int, uint8_t) {
    const QString ip = QString::fromStdString(ipAddress);
    const QString address = QString::fromStdString(MxICMP1.Address);
    if (!services_.pump.OnUiThread()) {
        // The select scan's worker: every effect belongs to the UI thread.
        QMetaObject::invokeMethod(
            this, [this, status, ip, address] { HandleReply(status, ip, address); },
            Qt::QueuedConnection);
        return;
    }
    HandleReply(status, ip, address);
}

void TForm1::HandleReply(int status, const QString& ip, const QString& address) {
    if (status != 0) {
        if (QTreeWidgetItem* row = ListView1->FindRow(address)) ListView1->SetImage(row, 1);
        SetPanel(0, texts::Offline(address));
        return;
    }
    // The answer names the host as "127.0.0.1" even when the row says "127.1": then the row
    // that was probed is the one to mark, and to count when no row is selected.
    QTreeWidgetItem* probed = ListView1->FindRow(address);
    if (QTreeWidgetItem* row = ListView1->FindRow(ip); row || probed)
        ListView1->SetImage(row ? row : probed, 2);
    SetPanel(0, texts::Online(address));
    QTreeWidgetItem* selected = ListView1->SelectedRow();
    if (QTreeWidgetItem* counted = selected ? selected : probed) TListView::RaiseCount(counted, 2);
    Memo1->appendPlainText(texts::LogLine(QDateTime::currentDateTime(), QLocale(), ip));
    if (SoundOn) services_.sound.PlayAsyncNoStop(SoundFile);
    if (!TrayIcon1.Animate()) {
        TrayIcon1.SetAnimate(true);
        TrayIcon1.SetHint(texts::HintOnline());
    }
    OnlineFound = true;
}

// ---- the countdown

void TForm1::StartCountdown(int minutes) {
    IntervalSeconds = countdown::IntervalSeconds(minutes);
    ElapsedSeconds = 0;
    RemainingMinutes = IntervalSeconds / 60;
    RemainingSeconds = IntervalSeconds % 60;
    SetPanel(3, texts::Countdown(RemainingMinutes, RemainingSeconds));
}

void TForm1::Timer1Timer() {
    ++ElapsedSeconds;
    const int64_t d = static_cast<int64_t>(IntervalSeconds) - ElapsedSeconds;
    RemainingMinutes = static_cast<int>(d / 60);
    RemainingSeconds = static_cast<int>(d % 60);
    SetPanel(3, texts::Countdown(RemainingMinutes, RemainingSeconds));
    if (RemainingMinutes == 0 && RemainingSeconds == 0) Action5Execute();
}

// ---- editing and settings

void TForm1::PauseMainTimer() {
    SetTag(&Timer1, Timer1.isActive() ? 1 : 0);
    Timer1.stop();
}

void TForm1::RestoreMainTimer() {
    if (Tag(&Timer1)) Timer1.start();
}

void TForm1::Action1Execute() {
    if (!form3_) return;
    PauseMainTimer();
    for (;;) {
        form3_->setWindowTitle(Action1->toolTip());
        CentreOver(form3_, this);
        if (form3_->exec() != QDialog::Accepted) break;
        const QString address = form3_->AddressText();
        if (ListView1->FindRow(address)) {
            services_.sound.Beep();
            form3_->ShowDuplicate(address);
            continue;  // the dialog comes back with what the user entered
        }
        TTarget t{address, form3_->NameText(), std::nullopt, std::nullopt};
        ListView1->FocusSelectScroll(ListView1->AppendRow(t));
        break;
    }
    form3_->EndRun();
    RestoreMainTimer();
}

void TForm1::Action3Execute() {
    if (selectScanRunning_) return;
    PauseMainTimer();
    if (QTreeWidgetItem* row = ListView1->SelectedRow()) ListView1->DeleteRow(row);
    RestoreMainTimer();
}

void TForm1::N1Click() {
    if (!form4_) return;
    PauseMainTimer();
    form4_->FormShow(SoundOn, countdown::IntervalMinutes(IntervalText), AutoScanOn, SoundFile);
    CentreOver(form4_, this);
    if (form4_->exec() != QDialog::Accepted) {
        RestoreMainTimer();
        return;
    }
    SoundOn = form4_->SoundOn();
    AutoScanOn = form4_->AutoScanOn();
    SetPanel(1, texts::Sound(SoundOn));
    const QString interval = QString::number(form4_->Interval());
    if (interval != IntervalText) {
        IntervalText = interval;
        StartCountdown(interval.toInt());
    }
    SetPanel(2, texts::AutoScan(AutoScanOn, IntervalText));
    if (AutoScanOn) {
        Timer1.start();
    } else {
        Timer1.stop();
    }
}
