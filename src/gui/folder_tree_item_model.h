#pragma once

#include <QAbstractItemModel>
#include <QIcon>

#include <functional>
#include <vector>

#include "items/folder_tree_model.h"
#include "wizard/wizard_types.h"

namespace salvex::gui {

// One of the wizard's trees as a Qt model over the controller's
// FolderTreeModel: nodes are read when the view asks for them, so a volume
// of 100,000 folders opens at once. The root node ("My Computer", "Root",
// ...) is the model's only top-level row. Its icons follow the tree's kind.
class FolderTreeItemModel final : public QAbstractItemModel {
  Q_OBJECT

 public:
  FolderTreeItemModel(wizard::TreeKind kind, QObject* parent = nullptr);

  // Shows `tree` (null: empty). Read only from here on, until the next call.
  void SetTree(const FolderTreeModel* tree);
  // Shows only the nodes marked in `shown` (by node; null: all), which stays
  // the caller's until the next call.
  void SetShownNodes(const std::vector<bool>* shown);
  const FolderTreeModel* Tree() const { return tree_; }
  QModelIndex IndexOf(TreeNodeId node) const;
  TreeNodeId NodeOf(const QModelIndex& index) const;
  // The node's text or cells changed in the tree.
  void RefreshNode(TreeNodeId node);
  // More than one column: a table with a header.
  bool HasColumns() const { return columnCount() > 1; }

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  // Check boxes on the nodes (the items tree's folders): each node's state,
  // and what a click on one asks for.
  struct Marks {
    std::function<Qt::CheckState(TreeNodeId node)> state;
    std::function<void(TreeNodeId node, bool marked)> set;
  };
  // The states are asked for as the view draws: a change of the marks needs
  // only a new drawing.
  void SetMarks(Marks marks) { marks_ = std::move(marks); }

 private:
  QIcon IconOf(TreeNodeId node) const;
  bool Shown(TreeNodeId node) const;
  // The rows of the nodes shown, and each node's children shown.
  void Index();
  const std::vector<TreeNodeId>& ChildrenOf(TreeNodeId node) const;

  wizard::TreeKind kind_;
  const FolderTreeModel* tree_ = nullptr;
  // Each node's row among its parent's children, so parent() is not a
  // search through a folder of thousands.
  std::vector<int> rowOfNode_;
  const std::vector<bool>* shown_ = nullptr;
  std::vector<std::vector<TreeNodeId>> shownChildren_;  // while some are hidden
  QIcon rootIcon_;
  QIcon nodeIcon_;
  Marks marks_;
};

}  // namespace salvex::gui
