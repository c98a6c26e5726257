#include "app/target_list_view.h"

#include <cstdlib>

#include <QBuffer>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <algorithm>
#include <memory>

#include "app/history_picture.h"
#include "app/image_lists.h"
#include "app/status_texts.h"
#include "app/target_facts.h"
#include "settings/cp932.h"

namespace {

constexpr int kImageRole = Qt::UserRole;
constexpr int kSortKeyRole = Qt::UserRole + 1;
constexpr int kBytesRole = Qt::UserRole + 2;
constexpr int kFullTextRole = Qt::UserRole + 3;
constexpr int kFactsRole = Qt::UserRole + 4;

class SortableItem : public QTreeWidgetItem {
public:
    bool operator<(const QTreeWidgetItem& other) const override {
        auto* view = static_cast<TargetListView*>(treeWidget());
        int column = view ? view->sortKeyColumn() : 0;
        if (column == 0) return text(0).compare(other.text(0), Qt::CaseInsensitive) < 0;
        if (column >= kFirstFactColumn) {
            const std::optional<double> mine = view->factSortKey(this);
            const std::optional<double> theirs = view->factSortKey(&other);
            // A cell that knows nothing comes last in either direction.
            if (mine && theirs) return *mine < *theirs;
            if (mine || theirs) return mine.has_value() != view->sortDescending();
            return false;
        }
        // Unsigned byte order, a prefix first: exactly QByteArray's comparison.
        return data(column, kSortKeyRole).toByteArray() <
               other.data(column, kSortKeyRole).toByteArray();
    }

    // The description and the optional columns are worked out from the facts when asked for,
    // so that they are never out of date with the facts and the counts the row shows; the state
    // icon, and what it says to a screen reader, from the image index the row was given in the
    // view's present round of icons.
    QVariant data(int column, int role) const override {
        if (column == 0 &&
            (role == kImageRole || role == Qt::DecorationRole || role == Qt::AccessibleTextRole)) {
            auto* view = static_cast<const TargetListView*>(treeWidget());
            const int index = view ? view->shownImage(QTreeWidgetItem::data(0, kImageRole)) : -1;
            if (role == kImageRole) return index;
            if (role == Qt::DecorationRole) return view ? view->stateIcon(index) : QVariant();
            // What the icon shows, for a screen reader.
            static const QString kStates[] = {QString(), QStringLiteral("オフライン"),
                                              QStringLiteral("オンライン"),
                                              QStringLiteral("偵察中")};
            return index >= 1 && index <= 3 ? kStates[index] : QString();
        }
        if (role == Qt::AccessibleDescriptionRole) {
            const QString facts = TargetListView::factsText(this);
            return facts.isNull() ? QVariant() : QVariant(facts);
        }
        if (column >= kFirstFactColumn && role != kSortKeyRole) {
            auto* view = static_cast<const TargetListView*>(treeWidget());
            return view && view->factCells() ? view->factCells()->cell(this, column, role)
                                             : QVariant();
        }
        return QTreeWidgetItem::data(column, role);
    }
    void changed() { emitDataChanged(); }
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
    // Grid lines between the cells, drawn here: a style sheet would cost every start the parsing
    // and a style of its own.
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(QColor(0xd8, 0xd8, 0xd8));
        const QRect r = option.rect;
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }
};

constexpr int Index(Column c) {
    return static_cast<int>(c);
}

}  // namespace

TargetListView::TargetListView(QWidget* parent)
    : QTreeWidget(parent), stateIcons_(images::rowStateIcons()) {
    setObjectName("ListView1");
    setColumnCount(kColumnCount);
    setHeaderLabels({QStringLiteral("！"), QStringLiteral("偵察先ＩＰアドレス"),
                     QStringLiteral("偵察先名"), QStringLiteral("オンライン回数"),
                     QStringLiteral("偵察回数")});
    for (int i = 0; i < kColumnCount; ++i) setColumnWidth(i, kDefaultColumnWidths[i]);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    setIconSize(QSize(16, 16));
    setItemDelegate(new RowDelegate(this));
    header()->setSectionsMovable(false);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);  // one direction for all columns, so no arrow
    header()->setStretchLastSection(false);
    header()->setMinimumSectionSize(8);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                for (const QModelIndex& i : deselected.indexes())
                    if (i.column() == 0) emit rowSelectionChanged(itemFromIndex(i), false);
                for (const QModelIndex& i : selected.indexes())
                    if (i.column() == 0) emit rowSelectionChanged(itemFromIndex(i), true);
            });
}

QTreeWidgetItem* TargetListView::appendRow(const Target& target) {
    QTreeWidgetItem* row = newRow(target);
    addTopLevelItem(row);
    byAddress_.insert(subItem(row, Column::Address), row);
    return row;
}

bool TargetListView::appendRows(const std::vector<Target>& targets) {
    // Not every allocation inside Qt survives a failure, so the room the rows will take (about
    // 1.5 KB a row beside their texts, measured) is asked for first, in one piece, and given back.
    size_t need = targets.size() * 2048;
    for (const Target& t : targets) need += static_cast<size_t>(t.ip.size() + t.name.size()) * 8;
    if (!roomFor_(need)) return false;
    QList<QTreeWidgetItem*> rows;
    try {
        rows.reserve(static_cast<qsizetype>(targets.size()));
        for (const Target& t : targets) rows.append(newRow(t));
    } catch (const std::bad_alloc&) {
        qDeleteAll(rows);
        return false;
    }
    try {
        addTopLevelItems(rows);  // at once: far quicker than one by one
        byAddress_.reserve(byAddress_.size() + rows.size());
        for (QTreeWidgetItem* row : rows) byAddress_.insert(subItem(row, Column::Address), row);
    } catch (const std::bad_alloc&) {
        for (QTreeWidgetItem* row : rows)
            if (!row->treeWidget()) delete row;
        clear();
        byAddress_.clear();
        return false;
    }
    return true;
}

QTreeWidgetItem* TargetListView::newRow(const Target& target) {
    auto* row = new SortableItem;
    row->setText(Index(Column::State), QString());
    setSubItem(row, Column::Address, target.ip);
    setSubItem(row, Column::Name, target.name);
    setSubItem(row, Column::OnlineCount, QStringLiteral("0"));
    setSubItem(row, Column::ScanCount, QStringLiteral("0"));
    if (target.ipBytes)
        row->setData(Index(Column::Address), kBytesRole,
                     QByteArray::fromStdString(*target.ipBytes));
    if (target.nameBytes)
        row->setData(Index(Column::Name), kBytesRole, QByteArray::fromStdString(*target.nameBytes));
    return row;
}

Target TargetListView::targetOf(const QTreeWidgetItem* row) {
    Target t{subItem(row, Column::Address), subItem(row, Column::Name), std::nullopt, std::nullopt};
    QVariant ip = row->data(Index(Column::Address), kBytesRole);
    QVariant name = row->data(Index(Column::Name), kBytesRole);
    if (ip.isValid()) t.ipBytes = ip.toByteArray().toStdString();
    if (name.isValid()) t.nameBytes = name.toByteArray().toStdString();
    return t;
}

QString TargetListView::subItem(const QTreeWidgetItem* row, Column c) {
    const QVariant full = row->data(Index(c), kFullTextRole);
    return full.isValid() ? full.toString() : row->text(Index(c));
}

void TargetListView::setSubItem(QTreeWidgetItem* row, Column c, const QString& text) {
    if (text.size() <= kShownLength) {
        row->setData(Index(c), kFullTextRole, QVariant());
        row->setText(Index(c), text);
        return;
    }
    row->setData(Index(c), kFullTextRole, text);
    row->setText(Index(c), text.left(kShownLength) + QStringLiteral("…"));
}

QTreeWidgetItem* TargetListView::findRow(const QString& address) const {
    QTreeWidgetItem* first = nullptr;
    int firstIndex = 0;
    for (auto it = byAddress_.find(address); it != byAddress_.end() && it.key() == address; ++it) {
        // Rows that share an address are few: their places are looked up only then.
        if (!first) {
            first = it.value();
            continue;
        }
        if (firstIndex == 0) firstIndex = indexOfTopLevelItem(first);
        if (const int index = indexOfTopLevelItem(it.value()); index < firstIndex) {
            first = it.value();
            firstIndex = index;
        }
    }
    return first;
}

void TargetListView::raiseCount(QTreeWidgetItem* row, Column c) {
    qint64 n = subItem(row, c).toLongLong();
    setSubItem(row, c, QString::number(n + 1));
}

void TargetListView::setImage(QTreeWidgetItem* row, int index) {
    // The index with the round it was given in: one value, one notice to the view.
    row->setData(0, kImageRole,
                 static_cast<qint64>(iconRound_) << 32 | static_cast<quint32>(index));
}

int TargetListView::shownImage(const QVariant& stored) const {
    if (!stored.isValid()) return -1;
    const qint64 v = stored.toLongLong();
    return static_cast<quint32>(v >> 32) == iconRound_ ? static_cast<qint32>(v & 0xFFFFFFFF) : -1;
}

QVariant TargetListView::stateIcon(int index) const {
    return index >= 0 && index < stateIcons_.size() ? QVariant(stateIcons_[index]) : QVariant();
}

void TargetListView::clearImages() {
    // A new round of icons: every row's icon of an earlier round is gone at once, however long
    // the list (one notice a row kept the window from its events for tens of milliseconds).
    ++iconRound_;
    viewport()->update();
}

int TargetListView::imageIndex(const QTreeWidgetItem* row) {
    return row->data(0, kImageRole).toInt();
}

void TargetListView::focusSelectScroll(QTreeWidgetItem* row) {
    setCurrentItem(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollToItem(row);
}

QTreeWidgetItem* TargetListView::selectedRow() const {
    const QList<QTreeWidgetItem*> rows = selectedItems();
    return rows.isEmpty() ? nullptr : rows.first();
}

void TargetListView::deleteRow(QTreeWidgetItem* row) {
    // Without a current row the view does not select a neighbour in the deleted row's place.
    if (row->isSelected() || currentItem() == row) selectionModel()->clear();
    forget(row);
    delete row;
}

void TargetListView::forget(QTreeWidgetItem* row) {
    byAddress_.remove(subItem(row, Column::Address), row);
}

void TargetListView::sortRows(int column, bool descending) {
    sortKeyColumn_ = column;
    sortDescending_ = descending;
    if (column >= kFirstFactColumn && factCells_) {
        // One value per row and sort, not one per comparison.
        factSortKeys_.reserve(static_cast<size_t>(rowCount()));
        for (int i = 0; i < rowCount(); ++i)
            factSortKeys_[row(i)] = factCells_->sortValue(row(i), column);
    } else if (column >= 1) {
        // One conversion per row and sort, not one per comparison.
        for (int i = 0; i < rowCount(); ++i) {
            QTreeWidgetItem* item = row(i);
            QByteArray key = item->data(column, kBytesRole).toByteArray();
            if (key.isNull()) {
                const QString text = subItem(item, static_cast<Column>(column));
                auto bytes = cp932::encode(text);
                key = bytes ? QByteArray::fromStdString(*bytes) : text.toUtf8();
            }
            item->setData(column, kSortKeyRole, key);
        }
    }
    sortItems(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    factSortKeys_.clear();
}

std::optional<double> TargetListView::factSortKey(const QTreeWidgetItem* row) const {
    const auto found = factSortKeys_.find(row);
    return found == factSortKeys_.end() ? std::nullopt : found->second;
}

const TargetFacts* TargetListView::factsOf(const QTreeWidgetItem* row) {
    return row->data(0, kFactsRole).value<std::shared_ptr<TargetFacts>>().get();
}

void TargetListView::recordResult(QTreeWidgetItem* row, bool online, int rttUs, int ttl,
                                  int64_t atMs, int status, const QString& from) {
    auto facts = row->data(0, kFactsRole).value<std::shared_ptr<TargetFacts>>();
    if (!facts) {
        facts = std::make_shared<TargetFacts>();
        row->setData(0, kFactsRole, QVariant::fromValue(facts));
    }
    // "0.0.0.0" is what a failure names when no host answered at all.
    const bool other =
        !from.isEmpty() && from != QLatin1String("0.0.0.0") && from != TargetRow(row).address();
    // A status is told in the words of the family of the host that reported it.
    facts->record(online, rttUs, ttl, atMs, status, other ? from.toStdString() : std::string(),
                  from.contains(QLatin1Char(':')));
    static_cast<SortableItem*>(row)->changed();
}

QString TargetListView::factsText(const QTreeWidgetItem* row) {
    const TargetFacts* facts = factsOf(row);
    if (!facts) return QString();
    // The counts the row shows: a scan stopped before its probe has counted the row already.
    return texts::targetFacts(*facts, QDate::currentDate(),
                              texts::ShownCounts{subItem(row, Column::OnlineCount).toLongLong(),
                                                 subItem(row, Column::ScanCount).toLongLong()});
}

bool TargetListView::viewportEvent(QEvent* e) {
    if (e->type() != QEvent::ToolTip) return QTreeWidget::viewportEvent(e);
    auto* help = static_cast<QHelpEvent*>(e);
    const QTreeWidgetItem* row = itemAt(help->pos());
    const TargetFacts* facts = row ? factsOf(row) : nullptr;
    if (!facts) {
        QToolTip::hideText();
        e->ignore();
        return true;
    }
    // Drawn when asked for, never while the scans run.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    drawHistory(*facts).save(&buffer, "PNG");
    const QString html =
        QStringLiteral(
            "<p style='white-space:pre'>%1</p>"
            "<p><img src='data:image/png;base64,%2'></p>")
            .arg(factsText(row).replace(QStringLiteral("／"), QStringLiteral("\n")).toHtmlEscaped(),
                 QString::fromLatin1(png.toBase64()));
    QToolTip::showText(help->globalPos(), html, viewport(), visualItemRect(row));
    return true;
}

void TargetListView::mousePressEvent(QMouseEvent* e) {
    // A click into the empty part of the list ends the selection.
    if (!itemAt(e->position().toPoint())) clearSelection();
    QTreeWidget::mousePressEvent(e);
}

QString TargetRow::address() const {
    return TargetListView::subItem(item_, Column::Address);
}

void TargetRow::raiseScanCount() {
    TargetListView::raiseCount(item_, Column::ScanCount);
}

void TargetRow::raiseOnlineCount() {
    TargetListView::raiseCount(item_, Column::OnlineCount);
}

void TargetRow::setIcon(RowIcon icon) {
    static_cast<TargetListView*>(item_->treeWidget())->setImage(item_, static_cast<int>(icon));
}
