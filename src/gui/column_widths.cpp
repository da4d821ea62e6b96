#include "gui/column_widths.h"

#include <QHeaderView>
#include <QSettings>
#include <QTableView>

#include <algorithm>

#include "gui/item_table_model.h"
#include "gui/qt_text.h"

namespace salvex::gui {
namespace {

// The check box, the icon and the cell's margins beside a name's text.
constexpr int kNameChrome = 20 + 16 + 24;

}  // namespace

ColumnWidths::ColumnWidths(QTableView& table, const ItemTableModel& model)
    : QObject(&table), table_(table), model_(model) {
  connect(table_.horizontalHeader(), &QHeaderView::sectionResized, this,
          [this](int column, int, int width) { Remember(column, width); });
}

QString ColumnWidths::Key() const {
  return QStringLiteral("list/widths-%1").arg(static_cast<int>(layout_));
}

void ColumnWidths::Apply(wizard::ListLayout layout) {
  layout_ = layout;
  const QList<QVariant> saved = QSettings().value(Key()).toList();
  userWidths_ = saved.size() == model_.columnCount();
  applying_ = true;
  QHeaderView* header = table_.horizontalHeader();
  for (int column = 0; column < model_.columnCount(); ++column) {
    const int width = userWidths_ ? saved[column].toInt() : model_.ColumnWidth(column);
    header->resizeSection(column, std::max(width, header->minimumSectionSize()));
  }
  applying_ = false;
}

void ColumnWidths::FitNames(const wizard::ItemListModel* rows) {
  if (userWidths_ || rows == nullptr || !rows->HoldsItems() || rows->RowCount() == 0) return;
  // The longest name in bytes stands for the widest: measuring every name of
  // a folder of 200,000 files would hold up its listing.
  std::size_t longest = 0;
  for (std::size_t row = 1; row < rows->RowCount(); ++row) {
    if (rows->Name(row).size() > rows->Name(longest).size()) longest = row;
  }
  const int wanted = table_.fontMetrics().horizontalAdvance(ToQString(rows->Name(longest))) + kNameChrome;
  // Half the view at most, and no more than leaves the other columns shown
  // whole beside it.
  int others = 0;
  for (int column = 1; column < model_.columnCount(); ++column) {
    if (!table_.isColumnHidden(column)) others += model_.ColumnWidth(column);
  }
  const int widest =
      std::max(model_.ColumnWidth(0), std::min(table_.viewport()->width() / 2, table_.viewport()->width() - others));
  applying_ = true;
  table_.horizontalHeader()->resizeSection(0, std::clamp(wanted, model_.ColumnWidth(0), widest));
  applying_ = false;
}

int ColumnWidths::StretchedColumn() const {
  const QHeaderView* header = table_.horizontalHeader();
  if (!header->stretchLastSection()) return -1;
  for (int visual = header->count() - 1; visual >= 0; --visual) {
    const int logical = header->logicalIndex(visual);
    if (!header->isSectionHidden(logical)) return logical;
  }
  return -1;
}

void ColumnWidths::Remember(int column, int width) {
  // The last column shown is sized by the view, to fill it: not a width the
  // user chose, and none to keep for when it is no longer last.
  // Nor is a column hidden (its width reads 0).
  const int stretched = StretchedColumn();
  if (applying_ || column >= model_.columnCount() || column == stretched || table_.isColumnHidden(column) || width == 0) {
    return;
  }
  QList<QVariant> widths;
  for (int i = 0; i < model_.columnCount(); ++i) {
    const bool own = i == stretched || table_.isColumnHidden(i);
    widths.append(i == column ? width : own ? model_.ColumnWidth(i) : table_.columnWidth(i));
  }
  QSettings().setValue(Key(), widths);
  userWidths_ = true;
}

}  // namespace salvex::gui
