// The main window's commands: the list, the scans and their replies, editing and the settings.
// The window itself (construction, files, closing, the tray) is in main_window.cpp.
#include <QAction>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolButton>

#include "app/auto_scan_countdown.h"
#include "app/command_states.h"
#include "app/history_log.h"
#include "app/main_window.h"
#include "app/program_info.h"
#include "app/scan_display.h"
#include "app/scan_lock.h"
#include "app/scan_runner.h"
#include "app/status_texts.h"
#include "app/target_list_view.h"
#include "app/window_placement.h"
#include "dialogs/add_target_dialog.h"
#include "dialogs/settings_dialog.h"
#include "files/atomic_file.h"
#include "platform/file_chooser.h"
#include "platform/message_box.h"
#include "platform/sound.h"

// ---- the list

void MainWindow::onRowSelection(QTreeWidgetItem*, bool selected) {
    // The all scan's own selections of the row it probes change nothing.
    if (scans_->allScanRunning()) return;
    itemSelected_ = selected;
    rowButtonsOn_ = selected;
    updateCommands();
}

void MainWindow::onContextMenu() {
    updateCommands();
}

void MainWindow::updateCommands() {
    const CommandStates s = commandStates(
        {lock_->allScanHeld(), lock_->selectScanHeld(), rowButtonsOn_, itemSelected_});
    m_ui.allScanButton->setEnabled(s.allScanAndAdd);
    m_ui.addButton->setEnabled(s.allScanAndAdd);
    for (QToolButton* b : {m_ui.selectScanButton, m_ui.updateButton, m_ui.deleteButton})
        b->setEnabled(s.rowButtons);
    contextMenuAllowed_ = s.menus;
    m_ui.settingsItem->setEnabled(s.menus);
    m_ui.scanMenu->menuAction()->setEnabled(s.menus);
    m_ui.editMenu->menuAction()->setEnabled(s.menus);
    for (QAction* a : {m_ui.selectScanItem, m_ui.deleteItem, m_ui.listSelectScan, m_ui.listDelete})
        a->setEnabled(s.rowItems);
}

void MainWindow::sortByColumn(int column) {
    if (!m_ui.allScanButton->isEnabled()) return;
    m_ui.list->sortRows(column, sortDescending_);
    sortDescending_ = !sortDescending_;
}

// ---- scans and replies

void MainWindow::runSelectScan() {
    if (!itemSelected_ || !m_ui.selectScanButton->isEnabled() || scans_->selectScanRunning())
        return;
    QTreeWidgetItem* item = m_ui.list->selectedRow();
    if (!item) return;  // the selection was cleared during the last row of an all scan
    if (!scans_->readyToScan()) return;  // told why, and the row stays as it was
    lock_->take(false);
    display_->selectScanStarting(m_ui.list->indexOfTopLevelItem(item));
    scans_->runSelectScan(TargetRow(item).address());
}

void MainWindow::onSelectScanFinished() {
    rowButtonsOn_ = true;  // whatever the selection did meanwhile
    lock_->release(false);
}

void MainWindow::runAllScan() {
    scans_->setAllAtOnce(options_.allAtOnce);
    scans_->runAllScan([this] { return m_ui.list->rowCount(); },
                       [this](int row) { return TargetRow(m_ui.list->row(row)).address(); });
}

void MainWindow::requestStop() {
    scans_->requestStop();
}

void MainWindow::onAllScanFinished() {
    countdown_->rewindIfAtZero(options_.intervalMinutes());
    lock_->release(true);
}

// ---- editing and settings

void MainWindow::addTarget() {
    makeDialogs();
    if (!addDialog_) return;
    countdown_->pause();
    addDialog_->setWindowTitle(m_ui.addTarget->toolTip());
    centreOver(addDialog_, this);
    const std::optional<NewTarget> t = addDialog_->ask(
        [this](const QString& address) { return m_ui.list->findRow(address) != nullptr; },
        [this] { services_.sound.beep(); });
    if (t) m_ui.list->focusSelectScroll(m_ui.list->appendRow({t->address, t->name, {}, {}}));
    countdown_->resume();
}

void MainWindow::deleteTarget() {
    if (scans_->selectScanRunning()) return;
    countdown_->pause();
    if (QTreeWidgetItem* row = m_ui.list->selectedRow()) m_ui.list->deleteRow(row);
    countdown_->resume();
}

void MainWindow::openSettings() {
    makeDialogs();
    if (!settingsDialog_) return;
    countdown_->pause();
    centreOver(settingsDialog_, this);
    const std::optional<Options> chosen = settingsDialog_->ask(options_);
    if (!chosen) {
        countdown_->resume();
        return;
    }
    // The interval's text counts as changed whenever it is spelt otherwise ("015" becomes "15").
    const bool newInterval = chosen->intervalText != options_.intervalText;
    options_ = *chosen;
    setPanel(Panel::Sound, texts::sound(options_.soundOn));
    if (newInterval) countdown_->restart(options_.intervalMinutes());
    applyAutoScan();
}

// ---- the scan log

void MainWindow::showLogMenu(const QPoint& at) {
    QMenu* menu = m_ui.log->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    QAction* save = menu->addAction(QStringLiteral("ログを保存…"), this, &MainWindow::saveLog);
    save->setObjectName(QStringLiteral("SaveLog"));
    save->setEnabled(!m_ui.log->document()->isEmpty());
    if (history_) {
        QAction* open = menu->addAction(QStringLiteral("履歴を開く"), history_, &HistoryLog::open);
        open->setObjectName(QStringLiteral("OpenHistory"));
        open->setEnabled(history_->exists());
    }
    menu->popup(m_ui.log->viewport()->mapToGlobal(at));
}

void MainWindow::saveLog() {
    const QString suggested =
        QDir::home().filePath(QStringLiteral("pingrove-log-%1.txt")
                                  .arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))));
    const QString path =
        services_.chooser.chooseSaveFile(this, QStringLiteral("ログを保存"), suggested,
                                         QStringLiteral("テキスト (*.txt);;すべて (*)"));
    if (path.isEmpty()) return;
    const QByteArray text = (m_ui.log->toPlainText() + QLatin1Char('\n')).toUtf8();
    if (!writeFileAtomically(QFile::encodeName(path).toStdString(),
                             std::string_view(text.constData(), static_cast<size_t>(text.size()))))
        services_.messages.showError(this, ProductName(),
                                     QStringLiteral("%1 に書き込めません").arg(path));
}
