#include "app/fact_columns.h"

#include <QAction>
#include <QDateTime>
#include <QHeaderView>
#include <QMenu>
#include <algorithm>
#include <cmath>

#include "app/status_texts.h"
#include "app/target_facts.h"
#include "app/uptime_history.h"

namespace {

QString Percent(double share) {
    // One decimal where it tells something: 99.5%, but 100% and 0%; never 100% or 0% for what is
    // not all or nothing (99.96% is 99.9%).
    const double percent = 100.0 * share;
    const double tenths =
        std::clamp(std::round(percent * 10) / 10, share > 0 ? 0.1 : 0.0, share < 1 ? 99.9 : 100.0);
    return QString::number(tenths, 'f', tenths == std::round(tenths) ? 0 : 1) + QLatin1Char('%');
}

Column AsColumn(int c) {
    return static_cast<Column>(c);
}

}  // namespace

FactColumns::FactColumns(TargetListView& list, UptimeHistory& uptime, QObject* parent)
    : QObject(parent), list_(list), uptime_(uptime), menu_(new QMenu(&list)) {
    setObjectName(QStringLiteral("FactColumns"));
    list_.setColumnCount(kAllColumnCount);
    menu_->setObjectName(QStringLiteral("ColumnMenu"));
    for (int c = kFirstFactColumn; c < kAllColumnCount; ++c) {
        list_.headerItem()->setText(c, header(c));
        QAction* show = menu_->addAction(header(c));
        show->setObjectName(QStringLiteral("ShowColumn%1").arg(c));
        show->setCheckable(true);
        connect(show, &QAction::toggled, this, [this, c](bool on) { setShown(c, on); });
    }
    list_.setFactCells(this);
    QHeaderView* h = list_.header();
    connect(h, &QHeaderView::sectionResized, this, [this](int c, int, int size) {
        if (size > 0) widths_[static_cast<size_t>(c)] = size;  // hiding resizes to 0
    });
    h->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(h, &QWidget::customContextMenuRequested, this,
            [this, h](const QPoint& at) { menu_->popup(h->mapToGlobal(at)); });
    connect(&refresh_, &QTimer::timeout, list_.viewport(), qOverload<>(&QWidget::update));
    // Every uptime may have changed: the view draws them again, and a screen reader hears it.
    connect(&uptime_, &UptimeHistory::historyRead, this, [this] {
        if (list_.rowCount() == 0) return;
        QAbstractItemModel* rows = list_.model();
        emit rows->dataChanged(
            rows->index(0, static_cast<int>(Column::Uptime24h)),
            rows->index(list_.rowCount() - 1, static_cast<int>(Column::Uptime7d)));
    });
}

QString FactColumns::header(int column) {
    switch (AsColumn(column)) {
        case Column::RoundTrip:
            return QStringLiteral("応答時間");
        case Column::Loss:
            return QStringLiteral("損失率");
        case Column::StateFor:
            return QStringLiteral("状態の継続");
        case Column::LastAnswer:
            return QStringLiteral("最終応答");
        case Column::Uptime24h:
            return QStringLiteral("稼働率（24時間）");
        case Column::Uptime7d:
            return QStringLiteral("稼働率（7日）");
        default:
            return QString();
    }
}

void FactColumns::apply(const std::vector<int>& shown,
                        const std::array<int, kAllColumnCount>& widths) {
    for (int c = kFirstFactColumn; c < kAllColumnCount; ++c) {
        widths_[static_cast<size_t>(c)] = widths[static_cast<size_t>(c)];
        list_.setColumnWidth(c, widths[static_cast<size_t>(c)]);
        const bool on = std::find(shown.begin(), shown.end(), c) != shown.end();
        menu_->findChild<QAction*>(QStringLiteral("ShowColumn%1").arg(c))->setChecked(on);
        setShown(c, on);  // also when the check did not change
    }
}

void FactColumns::setShown(int column, bool shown) {
    list_.header()->setSectionHidden(column, !shown);
    if (shown) list_.setColumnWidth(column, widths_[static_cast<size_t>(column)]);
    if (shown && (AsColumn(column) == Column::Uptime24h || AsColumn(column) == Column::Uptime7d))
        uptime_.startReading();
    updateRefresh();
}

std::vector<int> FactColumns::shown() const {
    std::vector<int> columns;
    for (int c = kFirstFactColumn; c < kAllColumnCount; ++c)
        if (!list_.header()->isSectionHidden(c)) columns.push_back(c);
    return columns;
}

void FactColumns::updateRefresh() {
    // How long in the present state counts seconds; the uptimes move slowly.
    const auto shown = [this](Column c) {
        return !list_.header()->isSectionHidden(static_cast<int>(c));
    };
    if (shown(Column::StateFor))
        refresh_.start(1000);
    else if (shown(Column::Uptime24h) || shown(Column::Uptime7d))
        refresh_.start(30 * 1000);
    else
        refresh_.stop();
}

std::optional<double> FactColumns::sortValue(const QTreeWidgetItem* row, int column) const {
    const TargetFacts* facts = TargetListView::factsOf(row);
    const auto uptime = [&](int64_t period) {
        return uptime_.share(TargetListView::subItem(row, Column::Address), period);
    };
    switch (AsColumn(column)) {
        case Column::RoundTrip:
            if (facts && facts->online()) return facts->lastAnswer()->rttUs / 1000.0;
            return std::nullopt;
        case Column::Loss:
            if (facts && facts->probed())
                return 1.0 - static_cast<double>(facts->answers()) / facts->probes();
            return std::nullopt;
        case Column::StateFor:
            if (facts && facts->probed())
                return static_cast<double>(uptime_.now() - facts->sinceMs());
            return std::nullopt;
        case Column::LastAnswer:
            if (facts && facts->lastAnswer())
                return static_cast<double>(facts->lastAnswer()->atMs());
            return std::nullopt;
        case Column::Uptime24h:
            return uptime(UptimeBook::kDayMs);
        case Column::Uptime7d:
            return uptime(UptimeBook::kKeptMs);
        default:
            return std::nullopt;
    }
}

QString FactColumns::text(const QTreeWidgetItem* row, int column) const {
    const std::optional<double> value = sortValue(row, column);
    if (!value) return QStringLiteral("—");
    switch (AsColumn(column)) {
        case Column::RoundTrip:
            return texts::roundTrip(*value);
        case Column::StateFor:
            return texts::duration(static_cast<int64_t>(*value));
        case Column::LastAnswer:
            return QDateTime::fromMSecsSinceEpoch(static_cast<int64_t>(*value))
                .toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        default:
            return Percent(*value);
    }
}

QVariant FactColumns::cell(const QTreeWidgetItem* row, int column, int role) const {
    // A hidden column tells nothing, also to a screen reader that walks every column.
    if (list_.header()->isSectionHidden(column)) return QVariant();
    switch (role) {
        case Qt::DisplayRole:
            return text(row, column);
        case Qt::AccessibleTextRole: {
            // A screen reader hears the column's name with the value, and a word for no value.
            const QString t = text(row, column);
            return header(column) + QLatin1Char(' ') +
                   (t == QStringLiteral("—") ? QStringLiteral("なし") : t);
        }
        case Qt::TextAlignmentRole:
            return AsColumn(column) == Column::LastAnswer || AsColumn(column) == Column::StateFor
                       ? QVariant()
                       : QVariant(Qt::AlignRight | Qt::AlignVCenter);
        default:
            return QVariant();
    }
}
