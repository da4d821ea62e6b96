#pragma once

#include <QAbstractTableModel>

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "items/item_rows.h"
#include "wizard/item_list_model.h"
#include "wizard/wizard_types.h"

namespace salvex::gui {

class FileTypes;

// The item list as a Qt model over the wizard's ItemListModel: the columns
// of the list's layout, and the rows of one folder, whose texts are made
// when the view asks for them (a few hundred are kept at a time). Deleted
// items' rows are red; a file's size shows in KB, MB or GB, to the byte in
// its tool tip. Renaming the Name cell is
// handed to `renamed`, which decides the name.
class ItemTableModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  using Renamed = std::function<void(const std::string& text)>;

  ItemTableModel(FileTypes& types, Renamed renamed, QObject* parent = nullptr);

  // The check boxes of the Name column: each row's state, and what a click
  // on one asks for. Without them the rows have no check box.
  struct Marks {
    std::function<Qt::CheckState(int row)> state;
    std::function<void(int row, bool marked)> set;
  };
  void SetMarks(Marks marks) { marks_ = std::move(marks); }
  // The marks changed: every check box is drawn anew.
  void RefreshMarks();

  void SetLayout(wizard::ListLayout layout);
  wizard::ListLayout Layout() const { return layout_; }
  // Null: no rows.
  void SetRows(const wizard::ItemListModel* rows);
  void RefreshRow(int row);
  int ColumnWidth(int column) const;
  // For sorting by `column`: whether row `left` has the smaller key (the
  // item's size, dates and id; the name and type name, case aside)
  // and whether a row is a folder.
  bool Less(int left, int right, int column) const;
  bool IsFolder(int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 private:
  const ItemRow& RowTexts(int row) const;
  // A sort compares each row's key many times: they are made once per column.
  void MakeKeys(int column) const;
  bool RightAligned(int column) const;
  void Forget();

  FileTypes& types_;
  Renamed renamed_;
  Marks marks_;
  wizard::ListLayout layout_ = wizard::ListLayout::details;
  const wizard::ItemListModel* rows_ = nullptr;
  mutable std::unordered_map<int, ItemRow> texts_;
  mutable int keyColumn_ = -1;
  mutable std::vector<quint64> numberKeys_;
  mutable std::vector<QString> textKeys_;
};

// "28-12-2006 " or "7-12-2006 9:5:3" as a number that sorts by date and time.
quint64 DateSortKey(const std::string& text);

}  // namespace salvex::gui
