#include "gui/tree_pane.h"

#include <QItemSelectionModel>
#include <QVBoxLayout>

#include "gui/folder_tree_item_model.h"
#include "gui/folder_tree_view.h"

namespace salvex::gui {
namespace {

constexpr std::array<wizard::TreeKind, 4> kKinds = {wizard::TreeKind::disks, wizard::TreeKind::partitions,
                                                   wizard::TreeKind::foundFileSystems, wizard::TreeKind::items};
constexpr std::array<const char*, 4> kNames = {"diskTree", "partitionsTree", "foundFileSystemsTree", "itemsTree"};

}  // namespace

TreePane::TreePane(QWidget* parent) : QWidget(parent) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  for (std::size_t i = 0; i < kKinds.size(); ++i) {
    auto* view = new FolderTreeView(kKinds[i], this);
    view->setObjectName(QString::fromLatin1(kNames[i]));
    view->hide();
    column->addWidget(view);
    connect(view, &FolderTreeView::nodeClicked, this, &TreePane::nodeClicked);
    views_[i] = view;
  }
}

FolderTreeView& TreePane::View(wizard::TreeKind kind) const { return *views_[static_cast<std::size_t>(kind)]; }

void TreePane::SetTree(wizard::TreeKind kind, const FolderTreeModel* tree) { View(kind).Nodes().SetTree(tree); }

void TreePane::SetShown(wizard::TreeKind kind, wizard::Shown shown) {
  FolderTreeView& view = View(kind);
  view.setVisible(shown.visible);
  view.setEnabled(shown.enabled);
}

void TreePane::Select(wizard::TreeKind kind, TreeNodeId node) {
  FolderTreeView& view = View(kind);
  const QModelIndex index = view.Nodes().IndexOf(node);
  if (!index.isValid()) return;
  view.Highlight(index);
  view.scrollTo(index);
}

void TreePane::Expand(wizard::TreeKind kind, TreeNodeId node) {
  FolderTreeView& view = View(kind);
  for (QModelIndex index = view.Nodes().IndexOf(node); index.isValid(); index = index.parent()) view.expand(index);
}

void TreePane::RefreshNode(wizard::TreeKind kind, TreeNodeId node) { View(kind).Nodes().RefreshNode(node); }

std::optional<TreeNodeId> TreePane::Selected(wizard::TreeKind kind) const {
  const FolderTreeView& view = View(kind);
  const QModelIndexList selected = view.selectionModel()->selectedIndexes();
  if (selected.isEmpty()) return std::nullopt;
  return view.Nodes().NodeOf(selected.first());
}

void TreePane::Focus(wizard::TreeKind kind) { View(kind).setFocus(Qt::OtherFocusReason); }

}  // namespace salvex::gui
