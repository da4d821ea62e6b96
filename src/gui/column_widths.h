#pragma once

#include <QObject>

#include "wizard/item_list_model.h"
#include "wizard/wizard_types.h"

class QTableView;

namespace salvex::gui {

class ItemTableModel;

// The item table's column widths. A width the user drags is remembered, per
// layout, from one run to the next; without one, a layout's columns take
// their own widths, and the Name column of a folder's items widens to its
// longest name, up to half the view.
class ColumnWidths final : public QObject {
 public:
  ColumnWidths(QTableView& table, const ItemTableModel& model);

  // The widths of the model's current layout.
  void Apply(wizard::ListLayout layout);
  // Widens the Name column for the rows just shown.
  void FitNames(const wizard::ItemListModel* rows);

 private:
  void Remember(int column, int width);
  // The column the header stretches to fill the view; -1 for none.
  int StretchedColumn() const;
  QString Key() const;

  QTableView& table_;
  const ItemTableModel& model_;
  wizard::ListLayout layout_ = wizard::ListLayout::details;
  bool userWidths_ = false;
  bool applying_ = false;
};

}  // namespace salvex::gui
