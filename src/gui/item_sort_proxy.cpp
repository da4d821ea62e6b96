#include "gui/item_sort_proxy.h"

#include "gui/item_table_model.h"

namespace salvex::gui {

ItemSortProxy::ItemSortProxy(QObject* parent) : QSortFilterProxyModel(parent) {
  setSortRole(ItemTableModel::kSortRole);
  setSortCaseSensitivity(Qt::CaseInsensitive);
  // A rename must not make its row jump away under the editor.
  setDynamicSortFilter(false);
}

bool ItemSortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  const bool leftFolder = left.data(ItemTableModel::kFolderRole).toBool();
  const bool rightFolder = right.data(ItemTableModel::kFolderRole).toBool();
  if (leftFolder != rightFolder) {
    // A descending sort reverses this answer too; folders stay first.
    return leftFolder != (sortOrder() == Qt::DescendingOrder);
  }
  const QVariant a = left.data(sortRole());
  const QVariant b = right.data(sortRole());
  if (a.typeId() == QMetaType::QString) {
    const int order = QString::compare(a.toString(), b.toString(), Qt::CaseInsensitive);
    if (order != 0) return order < 0;
  } else if (a != b) {
    return a.toULongLong() < b.toULongLong();
  }
  // Equal keys keep the order the scan found them in.
  return left.row() < right.row();
}

}  // namespace salvex::gui
