// The items step: the recovered folders as a tree, a folder's items in the
// list; entered after a Standard Scan, a mount or a tree snapshot's load.

#include "wizard/recovery_texts.h"
#include "wizard/wizard_controller.h"

namespace salvex::wizard {
namespace {

constexpr TreeNodeId kRoot = FolderTreeModel::kRoot;

}  // namespace

void WizardController::EnterItemsStep() {
  SetStep(WizardStep::items);
  view_.SetTree(TreeKind::items, itemsTree_.get());
  view_.SetTreeShown(TreeKind::items, Shown::Yes());
  view_.ExpandTreeNode(TreeKind::items, kRoot);
  Show(Control::back, Shown::Yes());
  SetMenuState(MenuState::items);
  view_.SetListVisible(true);
  ShowRootFolder();
  // The keys start in the list, where the found items are.
  treeIsActive_ = false;
  view_.FocusList();
}

// Back: the items go with the step. After a Standard Scan (or a Search by
// File Type) the tree stays hidden until the next scan makes it anew; after
// a mount it is freed, as the found file system may be mounted again.
void WizardController::LeaveItemsStep() {
  if (session_.scan.scanType != ScanType::advance) {
    ShowStepControls(StepView::standardItems, Direction::leaving);
    FreeItems();
    return;
  }
  FreeItems();
  DestroyTree(TreeKind::items);
  ShowStepControls(StepView::mountedItems, Direction::leaving);
}

void WizardController::FreeItems() {
  session_.items.ClearFatItems();
  session_.items.ClearNtfsItems();
  keyOfNode_.clear();
  list_.Clear();
  marks_.Clear();
  shownNode_ = kRoot;
  view_.MarksChanged();
  // A new scan is looked at whole.
  viewFilter_ = {};
  shownNodes_.clear();
  list_.SetViewFilter(viewFilter_, nullptr);
  view_.ShowTreeNodes(TreeKind::items, nullptr);
  view_.ShowViewFilter(viewFilter_);
}

void WizardController::NoticeUnreadableDirectories() {
  if (session_.items.unreadableDirectorySectors.empty() || !itemsTree_) return;
  view_.Notice(NoticeKind::error,
               UnreadableDirectoriesText(DescribeUnreadableDirectorySectors(session_.items, *itemsTree_)));
}

void WizardController::TreeClickItems(TreeNodeId node) {
  list_.Clear();
  view_.ShowListRows(nullptr);
  view_.SelectTreeNode(TreeKind::items, node);
  ShowFolderOfNode(node);
}

void WizardController::ShowParentFolder() {
  const auto shown = view_.SelectedTreeNode(TreeKind::items);
  if (!itemsTree_ || !shown || !itemsTree_->Contains(*shown) || *shown == kRoot) return;
  TreeClickItems(itemsTree_->Parent(*shown));
}

ItemSource WizardController::Source() const {
  return session_.volume.fsType == FsType::ntfs ? ItemSource::ntfs : ItemSource::fat;
}

void WizardController::ShowFolderOfNode(TreeNodeId node) {
  if (keyOfNode_.empty()) BuildKeyOfNode();
  list_.SetShortNamesLoseFirstLetter(session_.volume.fsType != FsType::exfat);
  shownNode_ = node;
  const std::uint32_t rootKey = Source() == ItemSource::fat ? kFatRootKey : kNtfsRootKey;
  const bool isFolder = node < keyOfNode_.size() && keyOfNode_[node];
  // A node without a folder is the root, or the tree build's "Lost Files".
  if (isFolder || node == kRoot || !itemsTree_ || !list_.ShowLostFiles(Source(), *itemsTree_, node, session_.filters)) {
    list_.ShowFolder(Source(), isFolder ? *keyOfNode_[node] : rootKey, session_.filters);
  }
  view_.ShowListRows(&list_);
}

void WizardController::BuildKeyOfNode() {
  keyOfNode_.assign(itemsTree_ ? itemsTree_->NodeCount() + kRoot : 0, std::nullopt);
  const auto index = [this](const auto& folders, auto keyOf) {
    for (const auto& folder : folders.Items()) {
      if (folder.treeNode < keyOfNode_.size()) keyOfNode_[folder.treeNode] = keyOf(folder);
    }
  };
  if (Source() == ItemSource::fat) {
    index(session_.items.FatFolders(), [](const FatFolderItem& folder) { return ChildrenKeyOf(folder); });
  } else {
    index(session_.items.NtfsFolders(), [](const NtfsFolderItem& folder) { return folder.recordNumber; });
  }
}

void WizardController::ShowRootFolder() {
  if (step_ != WizardStep::items) return;
  keyOfNode_.clear();
  ShowFolderOfNode(kRoot);
}

}  // namespace salvex::wizard
