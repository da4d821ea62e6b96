#pragma once

#include <QSortFilterProxyModel>

namespace salvex::gui {

// The item list in the order of the header the user clicked, folders still
// before files either way. Column -1 is the order the scan found them in.
// The store is never reordered: rows map back to it.
class ItemSortProxy final : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit ItemSortProxy(QObject* parent = nullptr);

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

}  // namespace salvex::gui
