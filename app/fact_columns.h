#pragma once
// The list's optional columns: what each target's facts and the kept history tell, one column a
// fact (応答時間, 損失率, 状態の継続, 最終応答, 稼働率（24時間）, 稼働率（7日）). Hidden until the
// user shows them from the list header's context menu; their cells are worked out from the row's
// facts whenever the view asks, so a result is recorded once and every column, the tooltip and a
// screen reader see it at once, with nothing stored per cell. Each cell sorts by its value; a
// cell that knows nothing shows 「—」 and sorts last.
#include <QObject>
#include <QTimer>
#include <array>
#include <optional>
#include <vector>

#include "app/target_list_view.h"
#include "settings/list_columns.h"

class QMenu;
class UptimeHistory;

class FactColumns : public QObject, public FactCellSource {
    Q_OBJECT
public:
    FactColumns(TargetListView& list, UptimeHistory& uptime, QObject* parent = nullptr);

    // The shown columns (indices from kFirstFactColumn) and every column's width, as kept.
    void apply(const std::vector<int>& shown, const std::array<int, kAllColumnCount>& widths);
    std::vector<int> shown() const;
    // The width the column has, or will have when shown again.
    int width(int column) const { return widths_[static_cast<size_t>(column)]; }
    void setShown(int column, bool shown);
    // The header's context menu: a check item a column (object names ShowColumn5 to 10).
    QMenu* menu() const { return menu_; }

    QVariant cell(const QTreeWidgetItem* row, int column, int role) const override;
    std::optional<double> sortValue(const QTreeWidgetItem* row, int column) const override;
    static QString header(int column);

private:
    QString text(const QTreeWidgetItem* row, int column) const;
    // Cells that change as time passes are drawn again while one of their columns shows.
    void updateRefresh();

    TargetListView& list_;
    UptimeHistory& uptime_;
    QMenu* menu_;
    QTimer refresh_;
    std::array<int, kAllColumnCount> widths_ = kDefaultColumnWidths;
};
