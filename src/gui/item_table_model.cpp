#include "gui/item_table_model.h"

#include <QBrush>
#include <QColor>

#include "gui/file_types.h"
#include "wizard/size_text.h"
#include "wizard/step_presentation.h"

namespace salvex::gui {
namespace {

constexpr std::size_t kKeptRows = 512;

bool IsItemLayout(wizard::ListLayout layout) { return layout != wizard::ListLayout::details; }

const std::string& Column(const ItemRow& row, int column) {
  switch (column) {
    case 1:
      return row.type;
    case 2:
      return row.size;
    case 3:
      return row.created;
    case 4:
      return row.modified;
    case 5:
      return row.id;
    default:
      return row.name;
  }
}

constexpr int kSizeColumn = 2;

}  // namespace

quint64 DateSortKey(const std::string& text) {
  // Day, month, year, then hour, minute, second when given.
  quint64 parts[6] = {};
  int count = 0;
  for (std::size_t i = 0; i < text.size() && count < 6;) {
    if (text[i] < '0' || text[i] > '9') {
      ++i;
      continue;
    }
    quint64 value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 100000) value = value * 10 + quint64(text[i++] - '0');
    parts[count++] = value;
  }
  quint64 key = parts[2];
  for (const quint64 part : {parts[1], parts[0], parts[3], parts[4], parts[5]}) key = key * 100 + part % 100;
  return key;
}

ItemTableModel::ItemTableModel(FileTypes& types, Renamed renamed, QObject* parent)
    : QAbstractTableModel(parent), types_(types), renamed_(std::move(renamed)) {}

void ItemTableModel::Forget() {
  texts_.clear();
  keyColumn_ = -1;
  numberKeys_.clear();
  textKeys_.clear();
}

void ItemTableModel::SetLayout(wizard::ListLayout layout) {
  beginResetModel();
  layout_ = layout;
  Forget();
  endResetModel();
  emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

void ItemTableModel::SetRows(const wizard::ItemListModel* rows) {
  beginResetModel();
  rows_ = rows;
  Forget();
  endResetModel();
}

void ItemTableModel::RefreshRow(int row) {
  if (row < 0 || row >= rowCount()) return;
  Forget();
  emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int ItemTableModel::ColumnWidth(int column) const {
  if (!IsItemLayout(layout_)) return wizard::kDetailsColumnWidth;
  return wizard::ItemColumns(layout_)[static_cast<std::size_t>(column)].width;
}

bool ItemTableModel::RightAligned(int column) const {
  return IsItemLayout(layout_) && wizard::ItemColumns(layout_)[static_cast<std::size_t>(column)].rightAligned;
}

int ItemTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || rows_ == nullptr ? 0 : static_cast<int>(rows_->RowCount());
}

int ItemTableModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return IsItemLayout(layout_) ? 6 : 1;
}

const ItemRow& ItemTableModel::RowTexts(int row) const {
  const auto known = texts_.find(row);
  if (known != texts_.end()) return known->second;
  if (texts_.size() >= kKeptRows) texts_.clear();
  return texts_.emplace(row, rows_->Row(static_cast<std::size_t>(row))).first->second;
}

QVariant ItemTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || rows_ == nullptr || index.row() >= rowCount()) return {};
  const int row = index.row();
  const int column = index.column();
  // A file's size in KB, MB or GB, and to the byte in its tool tip; a
  // folder's "0" as its row has it.
  const bool fileSize = column == kSizeColumn && IsItemLayout(layout_) && !rows_->At(static_cast<std::size_t>(row)).folder;
  if (fileSize && (role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::ToolTipRole)) {
    const std::uint64_t bytes = rows_->FileSize(static_cast<std::size_t>(row));
    return QString::fromStdString(role == Qt::ToolTipRole ? wizard::ExactSizeText(bytes) : wizard::ItemSizeText(bytes));
  }
  switch (role) {
    case Qt::ToolTipRole:
      if (column == 0) {
        // The name, then what it leaves unsaid: the doubts about the bytes
        // and a first letter lost.
        QString tip = QString::fromStdString(Column(RowTexts(row), column));
        for (const std::string& note : {rows_->WarningText(static_cast<std::size_t>(row)),
                                        rows_->NameNote(static_cast<std::size_t>(row))}) {
          if (!note.empty()) tip += QStringLiteral("\n") + QString::fromStdString(note);
        }
        return tip;
      }
      [[fallthrough]];
    case Qt::DisplayRole:
    case Qt::EditRole:  // the tool tip: the whole text of a cell too narrow for it
      return QString::fromStdString(Column(RowTexts(row), column));
    case Qt::DecorationRole: {
      if (column != 0) return {};
      if (!rows_->WarningText(static_cast<std::size_t>(row)).empty()) return types_.OverwrittenIcon();
      const bool deleted = rows_->IsDeleted(static_cast<std::size_t>(row));
      if (rows_->At(static_cast<std::size_t>(row)).folder) return types_.FolderIcon(deleted);
      return types_.FileIcon(rows_->Name(static_cast<std::size_t>(row)), deleted);
    }
    case Qt::CheckStateRole:
      if (column != 0 || !IsItemLayout(layout_) || !marks_.state) return {};
      return marks_.state(row);
    case Qt::ForegroundRole:
      return QBrush(rows_->IsDeleted(static_cast<std::size_t>(row)) ? QColor(255, 0, 0) : QColor(0, 0, 0));
    case Qt::BackgroundRole:
      return QBrush(QColor(255, 255, 255));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::AlignVCenter | (RightAligned(column) ? Qt::AlignRight : Qt::AlignLeft));
    default:
      return {};
  }
}

void ItemTableModel::MakeKeys(int column) const {
  keyColumn_ = column;
  numberKeys_.clear();
  textKeys_.clear();
  const auto count = static_cast<std::size_t>(rowCount());
  // Sizes, dates and ids sort by the item's own fields, never its shown text.
  const bool numbers = column == 2 || column == 3 || column == 4 || column == 5;
  (numbers ? numberKeys_.reserve(count) : textKeys_.reserve(count));
  for (std::size_t i = 0; i < count; ++i) {
    switch (column) {
      case 0:
        textKeys_.push_back(QString::fromStdString(rows_->Name(i)).toCaseFolded());
        break;
      case 1:
        textKeys_.push_back(QString::fromStdString(rows_->Row(i).type).toCaseFolded());
        break;
      case 2:
        numberKeys_.push_back(rows_->FileSize(i));
        break;
      case 3:
        numberKeys_.push_back(rows_->CreatedKey(i));
        break;
      case 4:
        numberKeys_.push_back(rows_->ModifiedKey(i));
        break;
      default:
        numberKeys_.push_back(rows_->IdKey(i));
        break;
    }
  }
}

bool ItemTableModel::Less(int left, int right, int column) const {
  if (rows_ == nullptr || column < 0 || column >= columnCount()) return left < right;
  if (keyColumn_ != column) MakeKeys(column);
  const auto l = static_cast<std::size_t>(left);
  const auto r = static_cast<std::size_t>(right);
  if (!numberKeys_.empty()) return numberKeys_[l] < numberKeys_[r];
  return textKeys_[l] < textKeys_[r];  // folded when made: case aside
}

bool ItemTableModel::IsFolder(int row) const {
  return rows_ != nullptr && row >= 0 && row < rowCount() && rows_->At(static_cast<std::size_t>(row)).folder;
}

QVariant ItemTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  if (role == Qt::DisplayRole) {
    if (!IsItemLayout(layout_)) return QString::fromStdString(wizard::DetailsColumnTitle());
    return QString::fromLatin1(wizard::ItemColumns(layout_)[static_cast<std::size_t>(section)].title);
  }
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(Qt::AlignVCenter | (RightAligned(section) ? Qt::AlignRight : Qt::AlignLeft));
  }
  return {};
}

Qt::ItemFlags ItemTableModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (index.isValid() && index.column() == 0 && IsItemLayout(layout_)) {
    flags |= Qt::ItemIsEditable;
    if (marks_.set) flags |= Qt::ItemIsUserCheckable;
  }
  return flags;
}

void ItemTableModel::RefreshMarks() {
  if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

bool ItemTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role == Qt::CheckStateRole && index.isValid() && index.column() == 0 && marks_.set) {
    marks_.set(index.row(), value.value<Qt::CheckState>() != Qt::Unchecked);
    return true;
  }
  if (role != Qt::EditRole || !index.isValid() || index.column() != 0) return false;
  renamed_(value.toString().toStdString());
  return true;
}

}  // namespace salvex::gui
