// The items step's view filters: which folders of the tree still hold
// something to look at, and the list through the filters.

#include "items/item_paths.h"
#include "items/volume_kind.h"
#include "wizard/wizard_controller.h"

namespace salvex::wizard {
namespace {

constexpr TreeNodeId kRoot = FolderTreeModel::kRoot;

// Marks the node and every node above it; stops at one marked already,
// whose way up is marked too.
void MarkWayUp(const FolderTreeModel& tree, TreeNodeId node, std::vector<bool>& shown) {
  while (tree.Contains(node) && node < shown.size() && !shown[node]) {
    shown[node] = true;
    if (node == kRoot) return;
    node = tree.Parent(node);
  }
}

template <typename Kind>
void MarkShown(const ItemStore& store, const FolderTreeModel& tree, const ViewFilter& filter, std::vector<bool>& shown) {
  const ItemPaths<Kind> paths(store, tree);
  for (const auto& file : Kind::Files(store).Items()) {
    if (!PassesViewFilter(filter, FilteredOf(file))) continue;
    if (const auto node = paths.NodeOfKey(Kind::ParentOf(file))) MarkWayUp(tree, *node, shown);
  }
  for (const auto& folder : Kind::Folders(store).Items()) {
    if (ShowsEmptyFolder(filter, folder.deleted)) MarkWayUp(tree, folder.treeNode, shown);
  }
}

}  // namespace

void WizardController::FindShownNodes() {
  shownNodes_.clear();
  if (!viewFilter_.Active() || !itemsTree_) return;
  shownNodes_.assign(itemsTree_->NodeCount() + kRoot, false);
  shownNodes_[kRoot] = true;
  if (Source() == ItemSource::fat) {
    MarkShown<FatKind>(session_.items, *itemsTree_, viewFilter_, shownNodes_);
  } else {
    MarkShown<NtfsKind>(session_.items, *itemsTree_, viewFilter_, shownNodes_);
  }
}

void WizardController::SetViewFilter(const ViewFilter& filter) {
  if (step_ != WizardStep::items || Busy()) return;
  viewFilter_ = filter;
  FindShownNodes();
  const std::vector<bool>* shown = viewFilter_.Active() ? &shownNodes_ : nullptr;
  list_.SetViewFilter(viewFilter_, shown);
  view_.ShowTreeNodes(TreeKind::items, shown);
  // The folder shown stays, unless the filters hide it: then the root.
  const bool stays = shown == nullptr || (shownNode_ < shownNodes_.size() && shownNodes_[shownNode_]);
  const TreeNodeId node = stays ? shownNode_ : kRoot;
  view_.ExpandTreeNode(TreeKind::items, node);
  view_.SelectTreeNode(TreeKind::items, node);
  ShowFolderOfNode(node);
}

}  // namespace salvex::wizard
