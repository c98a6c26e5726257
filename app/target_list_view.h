#pragma once
// ListView1: one row per target, with an empty caption, an image index (-1 none, 1 offline,
// 2 online, 3 being probed) and four sub-items: address, name, online count, scan count.
// The rows are the program's only list of targets.
#include <QTreeWidget>
#include <QVector>

#include "settings/target_list_file.h"

// The list's columns: the state icon, then the four sub-items.
enum class Column { State = 0, Address = 1, Name = 2, OnlineCount = 3, ScanCount = 4 };
// The state icon of a row, by its index in the row picture list.
enum class RowIcon { None = -1, Offline = 1, Online = 2, Probing = 3 };

class TargetListView;

// One row of the list, typed: what the scans and the reply handling do to a row.
class TargetRow {
public:
    explicit TargetRow(QTreeWidgetItem* item) : item_(item) {}
    QTreeWidgetItem* item() const { return item_; }
    QString address() const;
    void raiseScanCount();
    void raiseOnlineCount();
    void setIcon(RowIcon icon);

private:
    QTreeWidgetItem* item_;
};

class TargetListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TargetListView(QWidget* parent = nullptr);

    QTreeWidgetItem* AppendRow(const Target& target);
    int RowCount() const { return topLevelItemCount(); }
    QTreeWidgetItem* Row(int i) const { return topLevelItem(i); }
    // The first row, in list order, whose address text equals `address` exactly.
    QTreeWidgetItem* FindRow(const QString& address) const;
    // The full text; the list shows texts longer than kShownLength cut short, so that a name of
    // megabytes does not stall every repaint.
    static QString SubItem(const QTreeWidgetItem* row, int k);
    static void SetSubItem(QTreeWidgetItem* row, int k, const QString& text);
    static constexpr int kShownLength = 256;
    // Reads a count sub-item as decimal text, adds one and writes it back.
    static void RaiseCount(QTreeWidgetItem* row, int k);
    void SetImage(QTreeWidgetItem* row, int index);
    static int ImageIndex(const QTreeWidgetItem* row);
    // Focus, select (ending any other selection) and scroll until the row shows.
    void FocusSelectScroll(QTreeWidgetItem* row);
    QTreeWidgetItem* SelectedRow() const;
    // Ends the row's selection first, so the selection handler hears of it.
    void DeleteRow(QTreeWidgetItem* row);
    // The row's target with the bytes it was read with.
    static Target TargetOf(const QTreeWidgetItem* row);

    // Sorts by column (0 caption, 1..4 sub-items); sub-items compare as code page 932 bytes.
    void SortRows(int column, bool descending);
    int SortKeyColumn() const { return sortKeyColumn_; }

    const QVector<QIcon>& stateIcons() const { return stateIcons_; }

signals:
    // A row gained (true) or lost (false) its selection; losses are reported first.
    void SelectItem(QTreeWidgetItem* row, bool selected);

protected:
    void mousePressEvent(QMouseEvent* e) override;

private:
    QVector<QIcon> stateIcons_;
    int sortKeyColumn_ = 0;
};
