#pragma once

#include <QWidget>

#include <cstddef>
#include <optional>
#include <vector>

#include "gui/item_table_model.h"
#include "wizard/item_list_model.h"
#include "wizard/wizard_types.h"

class QAbstractItemView;
class QListView;
class QStackedWidget;
class QTableView;

namespace salvex::gui {

class ColumnWidths;
class FileTypes;
class ItemSortProxy;

// The right pane: the item list in its details mode (a table with the
// layout's columns, grid lines and whole-row selection) or its icons and
// list modes (one view of the Name column), both over one model and one
// selection. A header click sorts by its column; a second reverses; a new
// fill brings back the order the scan found. Rows are told by their
// position in the wizard's ItemListModel, whatever the sort.
class ItemListPane final : public QWidget {
  Q_OBJECT

 public:
  ItemListPane(FileTypes& types, ItemTableModel::Renamed renamed, QWidget* parent = nullptr);

  void SetLayout(wizard::ListLayout layout);
  void SetRows(const wizard::ItemListModel* rows);
  void SetListVisible(bool visible);
  void SetViewMode(wizard::ViewMode mode);
  std::optional<std::size_t> SelectedRow() const;
  // Every selected row of the wizard's list, in its order.
  std::vector<std::size_t> SelectedRows() const;
  // The row shown first or last, in the sorted order.
  std::optional<std::size_t> ShownRow(wizard::ListEnd end) const;
  // Selects the row alone and makes it current.
  void SelectRow(std::size_t row);
  // Selects the row and opens the editor on its name.
  void BeginRename(std::size_t row);
  void RefreshRow(std::size_t row);
  void Focus();
  // Shows or hides a column of the item columns (not the Name), as the
  // header's menu does; remembered.
  void SetColumnShown(int column, bool shown);

  QTableView* Table() const { return table_; }
  QListView* Icons() const { return icons_; }
  QAbstractItemView* ActiveView() const;
  ItemTableModel& Model() const { return *model_; }
  // The proxy index of a row of the wizard's list, in column 0.
  QModelIndex IndexOfRow(std::size_t row) const;

 signals:
  void pressed();
  // The current row changed (the keyboard's or the pointer's).
  void currentRowChanged();
  // Rows were selected or unselected.
  void selectionChanged();
  void doubleClicked();
  void menuRequested(QPoint globalPosition);
  // The in-place editor closed, committed or not.
  void renameClosed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Watch(QAbstractItemView* view);
  // The columns the user hid (by default the ID column), from the settings.
  static std::vector<int> HiddenColumns();
  void ApplyHiddenColumns();
  void ShowColumnMenu(QPoint globalPosition);

  static constexpr const char* kHiddenColumnsKey = "list/hidden-columns";
  static constexpr int kIdColumn = 5;

  ItemTableModel* model_ = nullptr;
  ItemSortProxy* proxy_ = nullptr;
  ColumnWidths* widths_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  QWidget* blank_ = nullptr;
  QTableView* table_ = nullptr;
  QListView* icons_ = nullptr;
  wizard::ViewMode mode_ = wizard::ViewMode::details;
  bool listVisible_ = true;
};

}  // namespace salvex::gui
