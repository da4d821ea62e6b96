#include "gui/folder_tree_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>
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
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setAllColumnsShowFocus(true);
  header()->setStretchLastSection(false);
  header()->setSectionsMovable(false);
  FitColumns();
  connect(nodes_, &QAbstractItemModel::modelReset, this, &FolderTreeView::FitColumns);
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { CurrentMoved(current); });
}

void FolderTreeView::FitColumns() {
  QHeaderView* head = header();
  if (!nodes_->HasColumns()) {
    // Long folder names scroll sideways rather than being cut.
    setHeaderHidden(true);
    head->setSectionResizeMode(QHeaderView::ResizeToContents);
    return;
  }
  // A table (the disks, the partitions): the name takes what the figures
  // beside it leave, and those are never cut.
  setHeaderHidden(false);
  head->setSectionResizeMode(QHeaderView::ResizeToContents);
  head->setSectionResizeMode(0, QHeaderView::Stretch);
}

void FolderTreeView::Highlight(const QModelIndex& index) {
  quiet_ = true;
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  quiet_ = false;
}

void FolderTreeView::CurrentMoved(const QModelIndex& current) {
  // Focus alone makes a node current without selecting it: no choice.
  if (quiet_ || !current.isValid() || !selectionModel()->isSelected(current)) return;
  emit nodeClicked(nodes_->NodeOf(current), wizard::TreeHit::onItem);
}

void FolderTreeView::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  const QModelIndex index = indexAt(at);
  const QModelIndex before = currentIndex();
  quiet_ = true;
  QTreeView::mousePressEvent(event);
  quiet_ = false;
  if (event->button() != Qt::LeftButton) return;
  if (!index.isValid()) {
    emit nodeClicked(std::nullopt, wizard::TreeHit::elsewhere);
    return;
  }
  // A press left of the icon that moved the highlight chose the node too.
  const bool onItem = at.x() >= visualRect(index).left() || currentIndex() != before;
  emit nodeClicked(nodes_->NodeOf(index), onItem ? wizard::TreeHit::onItem : wizard::TreeHit::elsewhere);
}

}  // namespace salvex::gui
