#include "gui/folder_tree_item_model.h"

#include <algorithm>

#include "common/visible_text.h"
#include "gui/theme_icon.h"

namespace salvex::gui {
namespace {

constexpr TreeNodeId kRoot = FolderTreeModel::kRoot;

}  // namespace

FolderTreeItemModel::FolderTreeItemModel(wizard::TreeKind kind, QObject* parent) : QAbstractItemModel(parent), kind_(kind) {
  // The disk tree and the items tree have the computer at their root; the
  // partitions and found-file-systems trees the disk. Disk and partition
  // nodes share the disk's image; folders show an open folder when selected.
  const bool computerRoot = kind == wizard::TreeKind::disks || kind == wizard::TreeKind::items;
  rootIcon_ = computerRoot ? TreeIcon(TreeImage::computer) : TreeIcon(TreeImage::disk);
  nodeIcon_ = kind == wizard::TreeKind::items ? TreeIcon(TreeImage::folder) : TreeIcon(TreeImage::disk);
}

void FolderTreeItemModel::SetTree(const FolderTreeModel* tree) {
  beginResetModel();
  tree_ = tree;
  shown_ = nullptr;
  Index();
  endResetModel();
}

void FolderTreeItemModel::SetShownNodes(const std::vector<bool>* shown) {
  beginResetModel();
  shown_ = shown;
  Index();
  endResetModel();
}

bool FolderTreeItemModel::Shown(TreeNodeId node) const {
  return shown_ == nullptr || node == kRoot || (node < shown_->size() && (*shown_)[node]);
}

void FolderTreeItemModel::Index() {
  rowOfNode_.clear();
  shownChildren_.clear();
  if (tree_ == nullptr) return;
  rowOfNode_.assign(tree_->NodeCount() + kRoot, 0);
  if (shown_ != nullptr) shownChildren_.resize(tree_->NodeCount() + kRoot);
  for (TreeNodeId node = kRoot; tree_->Contains(node); ++node) {
    int row = 0;
    for (const TreeNodeId child : tree_->Children(node)) {
      if (child >= rowOfNode_.size() || !Shown(child)) continue;
      rowOfNode_[child] = row++;
      if (shown_ != nullptr) shownChildren_[node].push_back(child);
    }
  }
}

const std::vector<TreeNodeId>& FolderTreeItemModel::ChildrenOf(TreeNodeId node) const {
  if (shown_ == nullptr) return tree_->Children(node);
  static const std::vector<TreeNodeId> kNone;
  return node < shownChildren_.size() ? shownChildren_[node] : kNone;
}

QModelIndex FolderTreeItemModel::IndexOf(TreeNodeId node) const {
  if (tree_ == nullptr || !tree_->Contains(node) || !Shown(node)) return {};
  return createIndex(node == kRoot ? 0 : rowOfNode_[node], 0, static_cast<quintptr>(node));
}

TreeNodeId FolderTreeItemModel::NodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<TreeNodeId>(index.internalId()) : 0;
}

void FolderTreeItemModel::RefreshNode(TreeNodeId node) {
  const QModelIndex changed = IndexOf(node);
  if (changed.isValid()) emit dataChanged(changed, changed.siblingAtColumn(columnCount() - 1), {Qt::DisplayRole});
}

QModelIndex FolderTreeItemModel::index(int row, int column, const QModelIndex& parent) const {
  if (tree_ == nullptr || column < 0 || column >= columnCount() || row < 0) return {};
  if (!parent.isValid()) return row == 0 ? createIndex(0, column, static_cast<quintptr>(kRoot)) : QModelIndex();
  const auto& children = ChildrenOf(NodeOf(parent));
  if (static_cast<std::size_t>(row) >= children.size()) return {};
  return createIndex(row, column, static_cast<quintptr>(children[static_cast<std::size_t>(row)]));
}

QModelIndex FolderTreeItemModel::parent(const QModelIndex& child) const {
  const TreeNodeId node = NodeOf(child);
  if (tree_ == nullptr || node == kRoot || !tree_->Contains(node)) return {};
  return IndexOf(tree_->Parent(node));
}

int FolderTreeItemModel::rowCount(const QModelIndex& parent) const {
  if (tree_ == nullptr) return 0;
  if (!parent.isValid()) return 1;
  return static_cast<int>(ChildrenOf(NodeOf(parent)).size());
}

int FolderTreeItemModel::columnCount(const QModelIndex&) const {
  return tree_ == nullptr ? 1 : std::max(1, static_cast<int>(tree_->Columns().size()));
}

QVariant FolderTreeItemModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (tree_ == nullptr || orientation != Qt::Horizontal || section < 0) return {};
  const auto& columns = tree_->Columns();
  if (static_cast<std::size_t>(section) >= columns.size()) return {};
  const TreeColumn& column = columns[static_cast<std::size_t>(section)];
  if (role == Qt::DisplayRole) return QString::fromStdString(column.heading);
  if (role == Qt::TextAlignmentRole && column.numbers) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

Qt::ItemFlags FolderTreeItemModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractItemModel::flags(index);
  if (index.isValid() && index.column() == 0 && marks_.set) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

bool FolderTreeItemModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || !index.isValid() || index.column() != 0 || !marks_.set) return false;
  marks_.set(NodeOf(index), value.value<Qt::CheckState>() != Qt::Unchecked);
  return true;
}

QVariant FolderTreeItemModel::data(const QModelIndex& index, int role) const {
  const TreeNodeId node = NodeOf(index);
  if (tree_ == nullptr || !tree_->Contains(node)) return {};
  const auto column = static_cast<std::size_t>(index.column());
  if (column > 0) {
    // The further columns of a table: texts alone, numbers on the right;
    // the row's tip over each of them.
    if (role == Qt::DisplayRole) return QString::fromStdString(VisibleText(tree_->Cell(node, column)));
    if (role == Qt::TextAlignmentRole) {
      const bool numbers = column < tree_->Columns().size() && tree_->Columns()[column].numbers;
      return numbers ? QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    }
    if (role != Qt::ToolTipRole) return {};
  }
  switch (role) {
    // A disk's names are shown with their control and direction characters
    // escaped: none can disguise what follows it.
    case Qt::DisplayRole:
      return QString::fromStdString(VisibleText(tree_->Text(node)));
    case Qt::ToolTipRole: {
      // Line by line: the lines are the tip's own, the rest is escaped.
      QStringList lines;
      for (const QString& line : QString::fromStdString(tree_->ToolTip(node)).split(QLatin1Char('\n'))) {
        lines << QString::fromStdString(VisibleText(line.toStdString()));
      }
      return lines.join(QLatin1Char('\n'));
    }
    case Qt::DecorationRole:
      return node == kRoot ? rootIcon_ : nodeIcon_;
    case Qt::CheckStateRole:
      if (!marks_.state) return {};
      return marks_.state(node);
    default:
      return {};
  }
}

}  // namespace salvex::gui
