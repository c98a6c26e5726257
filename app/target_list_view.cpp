#include "app/target_list_view.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <algorithm>

#include "app/image_lists.h"
#include "platform/cp932.h"

namespace {

constexpr int kImageRole = Qt::UserRole;
constexpr int kSortKeyRole = Qt::UserRole + 1;
constexpr int kBytesRole = Qt::UserRole + 2;
constexpr int kFullTextRole = Qt::UserRole + 3;

class SortableItem : public QTreeWidgetItem {
public:
    bool operator<(const QTreeWidgetItem& other) const override {
        auto* view = static_cast<TargetListView*>(treeWidget());
        int column = view ? view->SortKeyColumn() : 0;
        if (column == 0) return text(0).compare(other.text(0), Qt::CaseInsensitive) < 0;
        // Unsigned byte order, a prefix first: exactly QByteArray's comparison.
        return data(column, kSortKeyRole).toByteArray() <
               other.data(column, kSortKeyRole).toByteArray();
    }
};

// Every row is as high as a row with its state icon, icon or not: the view takes all rows' height
// from the first, and rows would shrink and grow as the first one lost and gained its icon.
class RowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        const int iconRow = option.decorationSize.height() + 3;  // the icon and the grid line
        s.setHeight(std::max(s.height(), iconRow));
        return s;
    }
};

}  // namespace

TargetListView::TargetListView(QWidget* parent)
    : QTreeWidget(parent), stateIcons_(images::rowStateIcons()) {
    setObjectName("ListView1");
    setColumnCount(5);
    setHeaderLabels({QStringLiteral("！"), QStringLiteral("偵察先ＩＰアドレス"),
                     QStringLiteral("偵察先名"), QStringLiteral("オンライン回数"),
                     QStringLiteral("偵察回数")});
    const int widths[5] = {20, 100, 250, 100, 100};
    for (int i = 0; i < 5; ++i) setColumnWidth(i, widths[i]);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    setIconSize(QSize(16, 16));
    setItemDelegate(new RowDelegate(this));
    // Grid lines between the cells; selected rows keep the palette's highlight colours.
    setStyleSheet(QStringLiteral(
        "QTreeView::item { border-right: 1px solid #d8d8d8; border-bottom: 1px solid #d8d8d8; }"
        "QTreeView::item:selected { background: palette(highlight);"
        " color: palette(highlighted-text); }"));
    header()->setSectionsMovable(false);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);  // one direction for all columns, so no arrow
    header()->setStretchLastSection(false);
    header()->setMinimumSectionSize(8);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                for (const QModelIndex& i : deselected.indexes())
                    if (i.column() == 0) emit SelectItem(itemFromIndex(i), false);
                for (const QModelIndex& i : selected.indexes())
                    if (i.column() == 0) emit SelectItem(itemFromIndex(i), true);
            });
}

QTreeWidgetItem* TargetListView::AppendRow(const Target& target) {
    auto* row = new SortableItem;
    row->setText(0, QString());
    SetSubItem(row, 0, target.ip);
    SetSubItem(row, 1, target.name);
    row->setText(3, QStringLiteral("0"));
    row->setText(4, QStringLiteral("0"));
    if (target.ipBytes) row->setData(1, kBytesRole, QByteArray::fromStdString(*target.ipBytes));
    if (target.nameBytes) row->setData(2, kBytesRole, QByteArray::fromStdString(*target.nameBytes));
    row->setData(0, kImageRole, -1);
    addTopLevelItem(row);
    return row;
}

Target TargetListView::TargetOf(const QTreeWidgetItem* row) {
    Target t{SubItem(row, 0), SubItem(row, 1), std::nullopt, std::nullopt};
    QVariant ip = row->data(1, kBytesRole), name = row->data(2, kBytesRole);
    if (ip.isValid()) t.ipBytes = ip.toByteArray().toStdString();
    if (name.isValid()) t.nameBytes = name.toByteArray().toStdString();
    return t;
}

QString TargetListView::SubItem(const QTreeWidgetItem* row, int k) {
    const QVariant full = row->data(k + 1, kFullTextRole);
    return full.isValid() ? full.toString() : row->text(k + 1);
}

void TargetListView::SetSubItem(QTreeWidgetItem* row, int k, const QString& text) {
    if (text.size() <= kShownLength) {
        row->setData(k + 1, kFullTextRole, QVariant());
        row->setText(k + 1, text);
        return;
    }
    row->setData(k + 1, kFullTextRole, text);
    row->setText(k + 1, text.left(kShownLength) + QStringLiteral("…"));
}

QTreeWidgetItem* TargetListView::FindRow(const QString& address) const {
    for (int i = 0; i < RowCount(); ++i) {
        if (SubItem(Row(i), 0) == address) return Row(i);
    }
    return nullptr;
}

void TargetListView::RaiseCount(QTreeWidgetItem* row, int k) {
    qint64 n = SubItem(row, k).toLongLong();
    SetSubItem(row, k, QString::number(n + 1));
}

void TargetListView::SetImage(QTreeWidgetItem* row, int index) {
    row->setData(0, kImageRole, index);
    row->setIcon(0, index >= 0 && index < stateIcons_.size() ? stateIcons_[index] : QIcon());
    // What the icon shows, for a screen reader.
    static const QString kStates[] = {QString(), QStringLiteral("オフライン"),
                                      QStringLiteral("オンライン"), QStringLiteral("偵察中")};
    row->setData(0, Qt::AccessibleTextRole, index >= 1 && index <= 3 ? kStates[index] : QString());
}

int TargetListView::ImageIndex(const QTreeWidgetItem* row) {
    return row->data(0, kImageRole).toInt();
}

void TargetListView::FocusSelectScroll(QTreeWidgetItem* row) {
    setCurrentItem(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollToItem(row);
}

QTreeWidgetItem* TargetListView::SelectedRow() const {
    const QList<QTreeWidgetItem*> rows = selectedItems();
    return rows.isEmpty() ? nullptr : rows.first();
}

void TargetListView::DeleteRow(QTreeWidgetItem* row) {
    // Without a current row the view does not select a neighbour in the deleted row's place.
    if (row->isSelected() || currentItem() == row) selectionModel()->clear();
    delete row;
}

void TargetListView::SortRows(int column, bool descending) {
    sortKeyColumn_ = column;
    if (column >= 1) {
        // One conversion per row and sort, not one per comparison.
        for (int i = 0; i < RowCount(); ++i) {
            QTreeWidgetItem* row = Row(i);
            QByteArray key = row->data(column, kBytesRole).toByteArray();
            if (key.isNull()) {
                const QString text = SubItem(row, column - 1);
                auto bytes = cp932::Encode(text);
                key = bytes ? QByteArray::fromStdString(*bytes) : text.toUtf8();
            }
            row->setData(column, kSortKeyRole, key);
        }
    }
    sortItems(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TargetListView::mousePressEvent(QMouseEvent* e) {
    // A click into the empty part of the list ends the selection.
    if (!itemAt(e->position().toPoint())) clearSelection();
    QTreeWidget::mousePressEvent(e);
}

QString TargetRow::address() const {
    return TargetListView::SubItem(item_, 0);
}

void TargetRow::raiseScanCount() {
    TargetListView::RaiseCount(item_, static_cast<int>(Column::ScanCount) - 1);
}

void TargetRow::raiseOnlineCount() {
    TargetListView::RaiseCount(item_, static_cast<int>(Column::OnlineCount) - 1);
}

void TargetRow::setIcon(RowIcon icon) {
    static_cast<TargetListView*>(item_->treeWidget())->SetImage(item_, static_cast<int>(icon));
}
