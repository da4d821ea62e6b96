#pragma once

#include <QSortFilterProxyModel>

namespace salvex::gui {

class ItemTableModel;

// The item list in the order of the header the user clicked, folders still
// before files either way. Column -1 is the order the scan found them in.
// The store is never reordered: rows map back to it.
class ItemSortProxy final : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  // Sorts the rows of `items`, which becomes its source.
  explicit ItemSortProxy(ItemTableModel& items, QObject* parent = nullptr);

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  const ItemTableModel& items_;
};

}  // namespace salvex::gui
