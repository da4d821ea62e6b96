#include "gui/item_sort_proxy.h"

#include "gui/item_table_model.h"

namespace salvex::gui {

ItemSortProxy::ItemSortProxy(ItemTableModel& items, QObject* parent) : QSortFilterProxyModel(parent), items_(items) {
  setSourceModel(&items);
  // A rename must not make its row jump away under the editor.
  setDynamicSortFilter(false);
}

bool ItemSortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  const bool leftFolder = items_.IsFolder(left.row());
  if (leftFolder != items_.IsFolder(right.row())) {
    // A descending sort reverses this answer too; folders stay first.
    return leftFolder != (sortOrder() == Qt::DescendingOrder);
  }
  if (items_.Less(left.row(), right.row(), left.column())) return true;
  if (items_.Less(right.row(), left.row(), left.column())) return false;
  // Equal keys keep the order the scan found them in.
  return left.row() < right.row();
}

}  // namespace salvex::gui
