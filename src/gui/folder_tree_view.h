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
// or elsewhere on the row (the indent and the expand button). A highlight
// that moves by other means than the program's own choice (the arrow keys,
// a click left of a node's icon) is told as a click on the node it moved
// to: what the panes show always belongs to the highlighted node.
class FolderTreeView final : public QTreeView {
  Q_OBJECT

 public:
  FolderTreeView(wizard::TreeKind kind, QWidget* parent = nullptr);

  FolderTreeItemModel& Nodes() const { return *nodes_; }
  wizard::TreeKind Kind() const { return kind_; }
  // Highlights `index` for the program, which is told of nothing.
  void Highlight(const QModelIndex& index);

 signals:
  void nodeClicked(std::optional<salvex::TreeNodeId> node, salvex::wizard::TreeHit hit);

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void CurrentMoved(const QModelIndex& current);
  // A tree with columns shows their header and fits them to the width.
  void FitColumns();

  wizard::TreeKind kind_;
  FolderTreeItemModel* nodes_ = nullptr;
  bool quiet_ = false;  // a press or the program moves the highlight: told otherwise

};

}  // namespace salvex::gui
