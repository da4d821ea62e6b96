#pragma once

#include <QWidget>

#include <array>
#include <optional>

#include "items/folder_tree_model.h"
#include "wizard/wizard_types.h"

namespace salvex::gui {

class FolderTreeView;

// The left pane: the disk, partitions, found-file-systems and items trees
// in one place, each shown, hidden, enabled or disabled as the wizard says
// (one is shown at a time).
class TreePane final : public QWidget {
  Q_OBJECT

 public:
  explicit TreePane(QWidget* parent = nullptr);

  FolderTreeView& View(wizard::TreeKind kind) const;
  void SetTree(wizard::TreeKind kind, const FolderTreeModel* tree);
  void SetShown(wizard::TreeKind kind, wizard::Shown shown);
  void Select(wizard::TreeKind kind, TreeNodeId node);
  // Expands the node and every node above it.
  void Expand(wizard::TreeKind kind, TreeNodeId node);
  void RefreshNode(wizard::TreeKind kind, TreeNodeId node);
  std::optional<TreeNodeId> Selected(wizard::TreeKind kind) const;
  void Focus(wizard::TreeKind kind);

 signals:
  void nodeClicked(std::optional<salvex::TreeNodeId> node, salvex::wizard::TreeHit hit);

 private:
  std::array<FolderTreeView*, 4> views_{};
};

}  // namespace salvex::gui
