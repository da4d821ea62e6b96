#include "gui/folder_tree_view.h"

#include <QHeaderView>
#include <QMouseEvent>

#include "gui/folder_tree_item_model.h"

namespace salvex::gui {

FolderTreeView::FolderTreeView(wizard::TreeKind kind, QWidget* parent) : QTreeView(parent), kind_(kind) {
  nodes_ = new FolderTreeItemModel(kind, this);
  setModel(nodes_);
  setHeaderHidden(true);
  setRootIsDecorated(true);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setIconSize(QSize(16, 16));
  // Long folder names scroll sideways rather than being cut.
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  header()->setStretchLastSection(false);
}

void FolderTreeView::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  const QModelIndex index = indexAt(at);
  QTreeView::mousePressEvent(event);
  if (event->button() != Qt::LeftButton) return;
  if (!index.isValid()) {
    emit nodeClicked(std::nullopt, wizard::TreeHit::elsewhere);
    return;
  }
  const bool onItem = at.x() >= visualRect(index).left();
  emit nodeClicked(nodes_->NodeOf(index), onItem ? wizard::TreeHit::onItem : wizard::TreeHit::elsewhere);
}

}  // namespace salvex::gui
