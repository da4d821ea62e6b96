// The partition step: the disk's partitions as nodes under its whole-disk
// root, the quick search for lost ones, and Next's Standard Scan of the one
// chosen. The range step (range_step.cpp) shows the same tree.

#include "partition/partition_selection.h"
#include "session/advance_range.h"
#include "session/captions.h"
#include "session/disk_session.h"
#include "session/scans.h"
#include "wizard/recovery_texts.h"
#include "wizard/step_panel_texts.h"
#include "wizard/tree_captions.h"
#include "wizard/wizard_controller.h"

namespace salvex::wizard {
namespace {

constexpr TreeNodeId kRoot = FolderTreeModel::kRoot;

constexpr const char* kStandardScanDoneMessage =
    "If you don't find your file(s) or folder(s) here, you can use \"Advance scan\"";

}  // namespace

// ---- Entering and leaving -------------------------------------------------

void WizardController::CreatePartitionTree() {
  const std::uint16_t disk = session_.scan.diskIndex;
  CreateTree(TreeKind::partitions, PartitionsRootCaption(DiskNumberOf(disk)));
  partitionsTree_->SetColumns(PartitionTreeColumns());
  if (disk < session_.disks.disks.size()) partitionsTree_->SetCells(kRoot, WholeDiskCells(session_.disks.disks[disk]));
  partitionNodes_.Set(kRoot, {NodeKind::wholeDisk, disk});
}

void WizardController::OpenPartitionTree() {
  CreatePartitionTree();
  AddPartitionNodes();
  view_.SetTreeShown(TreeKind::partitions, Shown::Yes());
}

void WizardController::EnterPartitionStep() {
  SetStep(WizardStep::partition);
  ShowStepControls(StepView::partition, Direction::entering);
  ShowPartitionStepFace();
}

void WizardController::ReturnToPartitionStep() {
  SetStep(WizardStep::partition);
  ShowPartitionStepFace();
  // The step comes back as it was left: its node chosen, the panel filled
  // and Next shown, not a highlight with nothing behind it.
  ChooseSelectedNodeAgain(TreeKind::partitions);
  FocusStepTree();
}

void WizardController::ShowPartitionStepFace() {
  SetMenuState(MenuState::partitions);
  SetInfoPanel(LabelSet::partition);
  SetQuickHelp(session_.scan.scanType == ScanType::byFileType ? QuickHelp::fileTypeStep : QuickHelp::partitionStep);
}

void WizardController::LeavePartitionStep() {
  CloseDisk(session_);
  ShowStepControls(StepView::partition, Direction::leaving);
}

// ---- The tree and the quick search -----------------------------------------

void WizardController::AddPartitionNodes() {
  PartitionTable& table = session_.partitions;
  for (std::uint32_t i = 0; i < table.partitionCount; ++i) {
    table.records[i].treeItem = partitionsTree_->InsertNode(kRoot, PartitionCaption(i, table.records[i]), 3, 3);
    partitionsTree_->SetCells(table.records[i].treeItem, PartitionNodeCells(table.records[i]));
    partitionNodes_.Set(table.records[i].treeItem, {NodeKind::partition, i});
  }
  view_.SetTree(TreeKind::partitions, partitionsTree_.get());
  view_.ExpandTreeNode(TreeKind::partitions, kRoot);
}

void WizardController::OnSearchPartitions() {
  if (Busy() || (step_ != WizardStep::partition && step_ != WizardStep::range)) return;
  StartQuickSearch();
}

void WizardController::StartQuickSearch() {
  SetMenuState(MenuState::startOrWorking);
  SetQuickHelp(QuickHelp::quickSearchRunning);
  session_.scan.stopRequested = false;
  Show(Control::back, Shown::No());
  Show(Control::next, Shown::No());
  Show(Control::searchPartitions, Shown::No());
  // The old records' nodes go at once, even when the search finds nothing.
  CreatePartitionTree();
  session_.partitions.Clear();
  view_.SetTree(TreeKind::partitions, partitionsTree_.get());
  view_.SetTreeShown(TreeKind::partitions, Shown::Disabled());
  Run([this] { QuickSearch(session_, view_); }, [this] { FinishQuickSearch(); });
}

void WizardController::FinishQuickSearch() {
  AddPartitionNodes();
  // The tree is new and nothing in it is chosen: the panel says nothing of
  // the partition chosen before. The range group takes the first found.
  SetInfoPanel(LabelSet::partition);
  if (session_.scan.scanType == ScanType::advance) {
    PresetRange();
    Show(Control::next, Shown::Yes());
  }
  Show(Control::back, Shown::Yes());
  Show(Control::searchPartitions, Shown::Yes());
  Show(Control::stop, Shown::No());
  view_.SetTreeShown(TreeKind::partitions, Shown::Yes());
  SetQuickHelp(session_.scan.scanType == ScanType::byFileType ? QuickHelp::fileTypeStep : QuickHelp::partitionStep);
  SetMenuState(MenuState::partitions);
  FocusStepTree();
}

void WizardController::TreeClickPartition(TreeNodeId node) {
  ScanState& scan = session_.scan;
  const TreeNode chosen = partitionNodes_.Of(node);
  if (chosen.kind == NodeKind::wholeDisk) {
    // The Standard Scan reads a volume; the others may read every sector.
    if (scan.scanType == ScanType::standard) return;
    view_.SelectTreeNode(TreeKind::partitions, kRoot);
    if (chosen.index >= session_.disks.disks.size() || !SelectWholeDisk(scan, session_.disks.disks[chosen.index])) {
      return;
    }
    if (scan.scanType == ScanType::advance) {
      SectorRange whole = RangeOf(scan);
      whole.selectedFsType = WholeDiskFsType(session_.partitions);
      ApplyRange(whole, scan);
    }
  } else {
    const PartitionTable& table = session_.partitions;
    if (chosen.kind != NodeKind::partition || chosen.index >= table.partitionCount) return;
    view_.SelectTreeNode(TreeKind::partitions, node);
    if (!SelectPartition(scan, table, static_cast<std::uint16_t>(chosen.index))) {
      // Listed so that the user knows it is there, but no scan can reach it.
      const PartitionRecord& record = table.records[chosen.index];
      view_.Notice(NoticeKind::error, PartitionCaption(chosen.index, record) + " " + UnscannableNote(record));
      Show(Control::next, Shown::No());
      return;
    }
  }
  // The End Sector field names the first sector past the range, as the field
  // is read at Next: for a partition, the sector after its last.
  view_.SetRangeFields({FileSystemPosition(scan.selectedFsType), std::to_string(scan.rangeStart),
                        std::to_string(std::uint64_t{scan.rangeStart} + scan.rangeSize)});
  for (const PanelRow& row : PartitionPanelRows(scan)) view_.SetPanelValue(row.label, row.value);
  Show(Control::next, Shown::Yes());
}

// ---- Next: the Standard Scan ------------------------------------------------

void WizardController::NextFromPartition() {
  if (session_.scan.scanType == ScanType::byFileType) {
    NextFromFileTypes();
    return;
  }
  if (session_.scan.selectedFsType == FsType::ntfs) {
    view_.Notice(NoticeKind::error, kNtfsRefusalMessage);
    Show(Control::next, Shown::Yes());
    return;
  }
  StartStandardScan();
}

void WizardController::StartStandardScan() {
  SetQuickHelp(QuickHelp::standardScanStarted);
  CreateTree(TreeKind::items, kItemsRoot);
  view_.SetTree(TreeKind::items, nullptr);
  view_.SetTreeShown(TreeKind::items, Shown::No());
  view_.SetTreeShown(TreeKind::partitions, Shown::Disabled());
  Show(Control::searchPartitions, Shown::No());
  Show(Control::back, Shown::No());
  Show(Control::next, Shown::No());
  auto found = std::make_shared<bool>(false);
  Run(
      [this, found] {
        VolumeContext context = session_.Volume(view_);
        *found = FindVolumeGeometry(context) == StandardScanOutcome::completed;
      },
      [this, found] { FinishGeometry(*found); });
}

void WizardController::FinishGeometry(bool found) {
  if (!found) {
    // The error box has said why; the step stays the partition step.
    view_.SetTreeShown(TreeKind::partitions, Shown::Yes());
    Show(Control::back, Shown::Yes());
    Show(Control::next, Shown::Yes());
    return;
  }
  SetInfoPanel(LabelSet::standardScan);
  // The walk belongs to the items step already: Back and the menus wait for it.
  SetStep(WizardStep::items);
  SetMenuState(MenuState::startOrWorking);
  Run(
      [this] {
        VolumeContext context = session_.Volume(view_);
        WalkVolume(context, session_.items, *itemsTree_, kRoot);
      },
      [this] { FinishStandardScan(); });
}

void WizardController::FinishStandardScan() {
  ShowStepControls(StepView::standardItems, Direction::entering);
  // The walk's counters stay in view; the status line's "please wait" goes.
  view_.SetStatus("");
  if (session_.volume.fsType == FsType::ntfs) SetInfoPanel(LabelSet::none);
  treeIsActive_ = false;
  EnterItemsStep();
  view_.Notice(NoticeKind::information, kStandardScanDoneMessage);
  NoticeUnreadableDirectories();
  SetQuickHelp(QuickHelp::itemsStep);
}

}  // namespace salvex::wizard
