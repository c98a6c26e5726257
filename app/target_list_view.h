#pragma once
// ListView1: one row per target, with an empty caption, an image index (-1 none, 1 offline,
// 2 online, 3 being probed) and four sub-items: address, name, online count, scan count.
// The rows are the program's only list of targets. Beside its sub-items each row keeps what this
// run learned of its target (its facts); the tooltip, a screen reader's description of the row
// and the optional columns are worked out from them when asked for.
#include <QHash>
#include <QTreeWidget>
#include <QVector>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <unordered_map>

#include "settings/list_columns.h"
#include "settings/target_list_file.h"

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

class TargetFacts;

// What the columns after the design's five show of a row, worked out when the view asks.
class FactCellSource {
public:
    virtual ~FactCellSource() = default;
    virtual QVariant cell(const QTreeWidgetItem* row, int column, int role) const = 0;
    // The value a cell sorts by; nothing for a cell that knows nothing (sorted last).
    virtual std::optional<double> sortValue(const QTreeWidgetItem* row, int column) const = 0;
};

class TargetListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TargetListView(QWidget* parent = nullptr);

    QTreeWidgetItem* appendRow(const Target& target);
    // What this run learned of the row's target, kept with the row (never saved); null before its
    // first probe.
    static const TargetFacts* factsOf(const QTreeWidgetItem* row);
    // Takes one probe's outcome into the row's facts and lets the view show them: screen readers
    // hear them as the row's description, the row's tooltip shows them with a picture of the
    // recent past, and the optional columns show each. `from`: the host that answered or
    // reported the failure, named in the facts when it is not the row's address text.
    static void recordResult(QTreeWidgetItem* row, bool online, int rttUs, int ttl, int64_t atMs,
                             int status = 0, const QString& from = QString());
    void setFactCells(const FactCellSource* cells) { factCells_ = cells; }
    const FactCellSource* factCells() const { return factCells_; }
    // The row's facts as one line, with the counts the row shows; null before its first probe.
    static QString factsText(const QTreeWidgetItem* row);
    // The rows of a list read at start, all at once. False, with no row added, when the memory
    // ran out on the way.
    bool appendRows(const std::vector<Target>& targets);
    // Whether `bytes` can be had now, for the rows about to be built. A test puts a refusal in
    // its place to take the way of a list too large to hold.
    using RoomCheck = std::function<bool(size_t bytes)>;
    void setRoomCheck(RoomCheck check) { roomFor_ = std::move(check); }
    int rowCount() const { return topLevelItemCount(); }
    QTreeWidgetItem* row(int i) const { return topLevelItem(i); }
    // The first row, in list order, whose address text equals `address` exactly. Rows are kept
    // by their address, so the look-up takes no longer with a long list.
    QTreeWidgetItem* findRow(const QString& address) const;
    // The full text; the list shows texts longer than kShownLength cut short, so that a name of
    // megabytes does not stall every repaint.
    static QString subItem(const QTreeWidgetItem* row, Column c);
    static void setSubItem(QTreeWidgetItem* row, Column c, const QString& text);
    static constexpr int kShownLength = 256;
    // Reads a count sub-item as decimal text, adds one and writes it back.
    static void raiseCount(QTreeWidgetItem* row, Column c);
    void setImage(QTreeWidgetItem* row, int index);
    // Every row without its state icon, at once.
    void clearImages();
    // The image index a row shows, from what it was given; its picture.
    int shownImage(const QVariant& stored) const;
    QVariant stateIcon(int index) const;
    static int imageIndex(const QTreeWidgetItem* row);
    // Focus, select (ending any other selection) and scroll until the row shows.
    void focusSelectScroll(QTreeWidgetItem* row);
    QTreeWidgetItem* selectedRow() const;
    // Ends the row's selection first, so the selection handler hears of it.
    void deleteRow(QTreeWidgetItem* row);
    // The row's target with the bytes it was read with.
    static Target targetOf(const QTreeWidgetItem* row);

    // Sorts by column (0 caption, 1..4 sub-items, then the optional columns); sub-items compare
    // as code page 932 bytes, the optional columns by their values with the unknown last.
    void sortRows(int column, bool descending);
    int sortKeyColumn() const { return sortKeyColumn_; }
    // A row's value in the optional column being sorted by, while the sort runs.
    std::optional<double> factSortKey(const QTreeWidgetItem* row) const;
    bool sortDescending() const { return sortDescending_; }

    const QVector<QIcon>& stateIcons() const { return stateIcons_; }

signals:
    // A row gained (true) or lost (false) its selection; losses are reported first.
    void rowSelectionChanged(QTreeWidgetItem* row, bool selected);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    bool viewportEvent(QEvent* e) override;

private:
    static QTreeWidgetItem* newRow(const Target& target);
    void forget(QTreeWidgetItem* row);
    QVector<QIcon> stateIcons_;
    const FactCellSource* factCells_ = nullptr;
    quint32 iconRound_ = 0;  // the images given before the last clearImages() show nothing
    // Every row by its address text (several rows may share one).
    QMultiHash<QString, QTreeWidgetItem*> byAddress_;
    std::unordered_map<const QTreeWidgetItem*, std::optional<double>> factSortKeys_;
    bool sortDescending_ = false;
    // Asked for in one piece and given back at once.
    RoomCheck roomFor_ = [](size_t bytes) {
        void* volatile room = std::malloc(bytes);
        std::free(room);
        return room != nullptr;
    };
    int sortKeyColumn_ = 0;
};
