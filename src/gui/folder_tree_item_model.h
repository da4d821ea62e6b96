#pragma once

#include <QAbstractItemModel>
#include <QIcon>

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
  const FolderTreeModel* Tree() const { return tree_; }
  QModelIndex IndexOf(TreeNodeId node) const;
  TreeNodeId NodeOf(const QModelIndex& index) const;
  // The node's text changed in the tree.
  void RefreshNode(TreeNodeId node);

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  QIcon IconOf(TreeNodeId node) const;

  wizard::TreeKind kind_;
  const FolderTreeModel* tree_ = nullptr;
  // Each node's row among its parent's children, so parent() is not a
  // search through a folder of thousands.
  std::vector<int> rowOfNode_;
  QIcon rootIcon_;
  QIcon nodeIcon_;
};

}  // namespace salvex::gui
