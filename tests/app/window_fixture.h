#pragma once
// A fresh main window with its dialogs over fakes and real files in a temporary folder.
#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QContextMenuEvent>
#include <QTimer>
#include <QTreeWidgetItem>
#include <functional>
#include <memory>
#include <source_location>
#include <vector>

#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolButton>

#include "app/about_box.h"
#include "app/auto_scan_countdown.h"
#include "app/main_window.h"
#include "app/scan_runner.h"
#include "app/target_list_view.h"
#include "dialogs/add_target_dialog.h"
#include "dialogs/settings_dialog.h"
#include "fakes.h"
#include "platform/qt_event_pump.h"
#include "settings/settings_file.h"
#include "test_support.h"

class Window : public ::testing::Test {
protected:
    void TearDown() override;
    // Writes the given files (UTF-8 text turned into code page 932 for the list), builds and
    // shows the window.
    void Start(const std::string& iplistUtf8 = {}, const std::string& ini = {});
    void Rebuild();
    std::string ListPath() const { return dir.path("iplist.txt"); }
    std::string IniPath() const { return dir.path("pingrove.INI"); }
    std::string HistoryPath() const { return dir.path("pingrove-history.csv"); }
    QTreeWidgetItem* Row(int i) const { return List()->row(i); }
    // A right click into a list, a header or a text box, as the window system gives it.
    static void RightClick(QAbstractScrollArea* area) {
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
        QApplication::sendEvent(area->viewport(), &click);
    }
    // Whether a right click into the list opens its context menu (closed again at once).
    bool ContextMenuOpens() const {
        RightClick(List());
        auto* menu = Child<QMenu>("PopupMenu1");
        const bool open = menu->isVisible();
        menu->close();
        return open;
    }
    // What the list's context menu offers for the selection: its select scan entry.
    bool ContextMenuOffersTheRow() const {
        form->onContextMenu();
        return Child<QAction>("N6")->isEnabled();
    }
    // Sub-item k: 0 address, 1 name, 2 online count, 3 scan count.
    QString Cell(int row, int k) const {
        return TargetListView::subItem(Row(row), static_cast<Column>(k + 1));
    }
    int Image(int row) const { return TargetListView::imageIndex(Row(row)); }
    template <typename T>
    T* Child(const char* name) const {
        return form->findChild<T*>(QString::fromLatin1(name));
    }
    // The window's parts, found by object name as a script would.
    TargetListView* List() const { return Child<TargetListView>("ListView1"); }
    QString Panel(int i) const {
        return form->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i))->text();
    }
    QTimer* Timer() const { return Child<QTimer>("Timer1"); }
    // SpeedButton1 to SpeedButton5, the buttons a scan takes away.
    std::vector<QToolButton*> LockableButtons() const {
        std::vector<QToolButton*> buttons;
        for (const char* name :
             {"SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4", "SpeedButton5"})
            buttons.push_back(Child<QToolButton>(name));
        return buttons;
    }
    TrayIcon* Tray() const { return Child<TrayIcon>("TrayIcon1"); }
    AutoScanCountdown* Countdown() const { return Child<AutoScanCountdown>("AutoScanCountdown"); }
    ScanRunner* Scans() const { return Child<ScanRunner>("ScanRunner"); }
    // Runs `action` on the next pass of the event loop, inside a modal dialog opened meanwhile.
    static void WhenModal(std::function<void(QWidget*)> action);
    // Lets events run until `done` or about two seconds.
    // Runs the events until `done` holds; after 5 s it gives up with a failure at the caller.
    static bool WaitFor(const std::function<bool()>& done,
                        std::source_location where = std::source_location::current());

    // Runs on the window built before it is shown (and reads its list), at every Rebuild.
    std::function<void(MainWindow&)> beforeShow;
    TempDir dir;
    FakeEchoService echo;
    QtEventPump pump;
    FakeSound sound;
    FakeMessageBox messages;
    FakeNotificationArea tray;
    FakeFileChooser chooser;
    FakeDesktopNotifier notifier;
    // What the window is built over; tests may point these at other implementations.
    IEchoService* echoService = &echo;
    ISound* soundService = &sound;
    std::unique_ptr<SettingsFile> settings;
    std::unique_ptr<Services> services;
    std::unique_ptr<MainWindow> form;
    std::unique_ptr<AddTargetDialog> form3;
    std::unique_ptr<SettingsDialog> form4;
    std::unique_ptr<AboutBox> about;
};
