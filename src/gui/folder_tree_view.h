#pragma once

#include <QTreeView>

#include <optional>

#include "items/folder_tree.h"
#include "wizard/wizard_types.h"

namespace salvex::gui {

class FolderTreeItemModel;

// A tree of the left pane. After its own handling of a left click
// (selection, expand buttons) it tells which node the click fell on, if
// any, and whether on the node itself (its icon, its label or right of it)
// or elsewhere on the row (the indent and the expand button).
class FolderTreeView final : public QTreeView {
  Q_OBJECT

 public:
  FolderTreeView(wizard::TreeKind kind, QWidget* parent = nullptr);

  FolderTreeItemModel& Nodes() const { return *nodes_; }
  wizard::TreeKind Kind() const { return kind_; }

 signals:
  void nodeClicked(std::optional<salvex::TreeNodeId> node, salvex::wizard::TreeHit hit);

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  wizard::TreeKind kind_;
  FolderTreeItemModel* nodes_ = nullptr;
};

}  // namespace salvex::gui
