// The controller's side of the window's commands that move the wizard:
// snapshot loads, added disk images, a found file shown, the list after the
// filters changed. The dialogs themselves are the WizardCommands'.

#include "disk/disk_table.h"
#include "session/disk_session.h"
#include "session/snapshot_files.h"
#include "wizard/tree_captions.h"
#include "wizard/wizard_controller.h"

namespace salvex::wizard {
namespace {

constexpr TreeNodeId kRoot = FolderTreeModel::kRoot;

constexpr const char* kNtfsSnapshotNote =
    "This snapshot is of an NTFS volume: it holds the range and the volume's geometry, but no items.";

// The session names the file in its message; the box quotes the snapshot's
// own words about the file the user has just chosen.
std::string LoadFailureMessage(const std::string& path, const std::string& error) {
  const std::string prefix = path + ": ";
  return error.rfind(prefix, 0) == 0 ? error.substr(prefix.size()) : error;
}

}  // namespace

void WizardController::LoadSnapshot(const std::string& path) {
  const WizardStep step = step_;
  if (Busy() || (step != WizardStep::partition && step != WizardStep::range && step != WizardStep::foundFileSystems)) {
    return;
  }
  // Read on the worker: a snapshot of millions of items takes a moment, and
  // an advance-scan snapshot's hits are classified against the disk. The
  // trees of the current step stay until the file has proved to be one.
  SetMenuState(MenuState::startOrWorking);
  auto outcome = std::make_shared<Outcome>();
  if (IsAdvanceSnapshotPath(path)) {
    Run([this, path, outcome] { *outcome = LoadAdvanceSnapshotFile(session_, path, view_); },
        [this, path, outcome, step] { FinishAdvanceSnapshotLoad(path, *outcome, step); });
    return;
  }
  auto tree = std::make_shared<std::unique_ptr<FolderTreeModel>>(std::make_unique<FolderTreeModel>());
  (*tree)->SetText(kRoot, kItemsRoot);
  Run([this, path, outcome, tree] { *outcome = LoadTreeSnapshotFile(session_, path, view_, **tree, kRoot); },
      [this, path, outcome, tree, step] { FinishTreeSnapshotLoad(path, *outcome, step, std::move(*tree)); });
}

bool WizardController::ReportSnapshotLoad(const std::string& path, const Outcome& outcome, WizardStep fromStep) {
  if (!outcome.Ok()) {
    view_.Notice(NoticeKind::error, LoadFailureMessage(path, outcome.error));
    SetMenuState(IdleMenuState(fromStep));
    return false;
  }
  for (const std::string& warning : outcome.warnings) view_.Notice(NoticeKind::information, warning);
  return true;
}

void WizardController::FinishTreeSnapshotLoad(const std::string& path, const Outcome& outcome, WizardStep fromStep,
                                              std::unique_ptr<FolderTreeModel> tree) {
  if (!ReportSnapshotLoad(path, outcome, fromStep)) return;
  if (session_.volume.fsType == FsType::ntfs) {
    // No items to show: the step stays, and so do its commands.
    view_.Notice(NoticeKind::information, kNtfsSnapshotNote);
    SetMenuState(IdleMenuState(fromStep));
    return;
  }
  // The controls of the step it was loaded in give way to the items'.
  Show(Control::next, Shown::No());
  Show(Control::searchPartitions, Shown::No());
  Show(Control::rangeGroup, Shown::Hidden());
  Show(Control::rangeHelp, Shown::Hidden());
  Show(Control::fileTypeGroup, Shown::Hidden());
  view_.SetTreeShown(TreeKind::foundFileSystems, Shown::No());
  ShowStepControls(StepView::standardItems, Direction::entering);
  itemsTree_ = std::move(tree);
  session_.scan.stopRequested = false;
  SetInfoPanel(LabelSet::none);
  treeIsActive_ = false;
  EnterItemsStep();
  SetQuickHelp(QuickHelp::itemsStep);
}

void WizardController::FinishAdvanceSnapshotLoad(const std::string& path, const Outcome& outcome,
                                                 WizardStep fromStep) {
  if (!ReportSnapshotLoad(path, outcome, fromStep)) return;
  // As if the sweep had just found them: the found file systems listed,
  // none chosen yet.
  Show(Control::next, Shown::No());
  view_.SetScanTypeChecked(ScanType::advance);
  ShowStepControls(StepView::sweep, Direction::entering);
  EnterFoundFileSystemStep();
}

void WizardController::AddDiskImage(const std::string& path, const std::string& mapPath) {
  if (Busy() || step_ != WizardStep::disk || !diskTree_) return;
  const AddedDiskImage added = AddDiskImageFile(session_, path);
  if (!added.outcome.Ok()) {
    view_.Notice(NoticeKind::error, added.outcome.error);
    return;
  }
  const std::uint16_t slot = added.slot;
  session_.disks.disks[slot].mapPath = mapPath;
  std::erase_if(addedImages_, [&path](const auto& image) { return image.first == path; });
  addedImages_.emplace_back(path, mapPath);
  const std::size_t nodesBefore = diskTree_->NodeCount();
  const TreeNodeId node = DiskNode(slot);
  if (diskTree_->NodeCount() != nodesBefore) {
    view_.SetTree(TreeKind::disks, diskTree_.get());
    view_.ExpandTreeNode(TreeKind::disks, kRoot);
  }
  // Chosen at once, as a click would: Next is the user's next step.
  TreeClickDisk(node);
}

void WizardController::ShowFoundFile(TreeNodeId folderNode, std::uint32_t filePosition) {
  if (Busy() || step_ != WizardStep::items || !itemsTree_ || !itemsTree_->Contains(folderNode)) return;
  OpenFolder(folderNode);
  for (std::size_t row = 0; row < list_.RowCount(); ++row) {
    if (!list_.At(row).folder && list_.At(row).position == filePosition) {
      view_.SelectListRow(row);
      view_.FocusList();
      treeIsActive_ = false;
      return;
    }
  }
}

void WizardController::ShowFolderAgainAfterFilters() {
  if (step_ != WizardStep::items) return;
  // The folder shown stays shown, through the new filters, and the keys
  // stay where they were: closing the dialog is no move in the tree.
  const auto node = view_.SelectedTreeNode(TreeKind::items);
  ShowFolderOfNode(node && itemsTree_ && itemsTree_->Contains(*node) ? *node : kRoot);
}

}  // namespace salvex::wizard
