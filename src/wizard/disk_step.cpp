// The disk step: the disks and images as "Storage Device" nodes, one chosen,
// Next opens it and reads its tables on the worker.

#include "disk/disk_table.h"
#include "session/captions.h"
#include "session/disk_session.h"
#include "wizard/step_panel_texts.h"
#include "wizard/tree_captions.h"
#include "wizard/wizard_controller.h"

namespace salvex::wizard {
namespace {

constexpr TreeNodeId kRoot = FolderTreeModel::kRoot;

constexpr const char* kNoPartitionsMessage =
    " No partitions found, going to make a quick search for missing partitions";

}  // namespace

void WizardController::EnterDiskStep() {
  SetStep(WizardStep::disk);
  SetMenuState(MenuState::startOrWorking);
  SetInfoPanel(LabelSet::disk);
  SetQuickHelp(QuickHelp::diskStep);
}

std::uint32_t WizardController::DiskNumberOf(std::uint16_t slot) {
  static const std::string kNoPath;
  return deviceNumbers_.NumberOf(slot < session_.disks.disks.size() ? session_.disks.disks[slot].devicePath : kNoPath);
}

std::string WizardController::DiskCaptionOf(std::uint16_t slot) { return DiskCaption(DiskNumberOf(slot)); }

TreeNodeId WizardController::DiskNode(std::uint16_t slot) {
  for (const TreeNodeId child : diskTree_->Children(kRoot)) {
    if (diskNodes_.Of(child) == TreeNode{NodeKind::disk, slot}) return child;
  }
  const DiskInfo& disk = session_.disks.disks[slot];
  const TreeNodeId node = diskTree_->InsertNode(kRoot, DiskNodeCaption(DiskNumberOf(slot), disk), 0, 0);
  diskTree_->SetCells(node, DiskNodeCells(disk, PartitionCountOf(disk)));
  diskTree_->SetToolTip(node, DiskToolTip(session_.disks.disks[slot]));
  diskNodes_.Set(node, {NodeKind::disk, slot});
  return node;
}

std::optional<std::uint32_t> WizardController::PartitionCountOf(const DiskInfo& disk) {
  const auto known = partitionCounts_.find(disk.devicePath);
  if (known != partitionCounts_.end()) return known->second;
  // An image file is read at once; a device only when the user opens it
  // (it may ask for a password, or be slow to answer).
  if (!disk.isImage) return std::nullopt;
  Session probe;
  probe.disks.disks = {disk};
  probe.disks.diskCount = 1;
  if (!OpenDisk(probe, 0).Ok()) return std::nullopt;
  const std::uint32_t count = ReadPartitionTables(probe);
  CloseDisk(probe);
  partitionCounts_[disk.devicePath] = count;
  return count;
}

FolderTreeModel& WizardController::CreateDiskTree() {
  FolderTreeModel& tree = CreateTree(TreeKind::disks, kMyComputer);
  tree.SetColumns(DiskTreeColumns());
  return tree;
}

void WizardController::FillDiskTree() {
  CreateDiskTree();
  for (std::size_t slot = 0; slot < session_.disks.diskCount; ++slot) DiskNode(static_cast<std::uint16_t>(slot));
  view_.SetTree(TreeKind::disks, diskTree_.get());
  view_.ExpandTreeNode(TreeKind::disks, kRoot);
}

void WizardController::RefreshDisks() {
  if (Busy() || step_ != WizardStep::disk) return;
  const auto chosen = view_.SelectedTreeNode(TreeKind::disks);
  const TreeNode chosenNode = chosen ? diskNodes_.Of(*chosen) : TreeNode{};
  const std::string chosenPath = chosenNode.kind == NodeKind::disk && chosenNode.index < session_.disks.disks.size()
                                     ? session_.disks.disks[chosenNode.index].devicePath
                                     : std::string();
  std::vector<std::string> images = options_.images;
  for (const auto& [path, map] : addedImages_) images.push_back(path);
  std::vector<std::string> refused;
  ListDisks(session_, images, refused);
  for (DiskInfo& disk : session_.disks.disks) {
    for (const auto& [path, map] : addedImages_) {
      if (disk.devicePath == path) disk.mapPath = map;
    }
  }
  FillDiskTree();
  for (const std::string& why : refused) view_.Notice(NoticeKind::error, why);
  // The disk chosen before stays chosen where it is still listed.
  SetInfoPanel(LabelSet::disk);
  Show(Control::next, Shown::No());
  for (std::uint16_t slot = 0; slot < session_.disks.diskCount; ++slot) {
    if (!chosenPath.empty() && session_.disks.disks[slot].devicePath == chosenPath) TreeClickDisk(DiskNode(slot));
  }
  FocusStepTree();
}

void WizardController::NextFromDisk() {
  // Opening a device and reading its tables can take seconds on a failing
  // disk: not on this thread.
  view_.SetTreeShown(TreeKind::disks, Shown::Disabled());
  const std::uint16_t disk = session_.scan.diskIndex;
  auto opened = std::make_shared<Outcome>();
  Run(
      [this, disk, opened] {
        *opened = OpenDisk(session_, disk);
        if (opened->Ok()) ReadPartitionTables(session_);
      },
      [this, opened] { FinishDiskOpen(*opened); });
}

void WizardController::FinishDiskOpen(const Outcome& opened) {
  if (!opened.Ok()) {
    view_.Notice(NoticeKind::error, DiskCaptionOf(session_.scan.diskIndex) + ": " + opened.error);
    view_.SetTreeShown(TreeKind::disks, Shown::Yes());
    Show(Control::next, Shown::Yes());
    return;
  }
  // The count the disk node shows from now on.
  const std::uint16_t slot = session_.scan.diskIndex;
  if (slot < session_.disks.disks.size()) {
    partitionCounts_[session_.disks.disks[slot].devicePath] = session_.partitions.partitionCount;
    for (const TreeNodeId child : diskTree_->Children(kRoot)) {
      if (diskNodes_.Of(child) == TreeNode{NodeKind::disk, slot}) {
        diskTree_->SetCells(child, DiskNodeCells(session_.disks.disks[slot], session_.partitions.partitionCount));
        view_.SetTreeNodeText(TreeKind::disks, child, diskTree_->Text(child));
      }
    }
  }
  OpenPartitionTree();
  if (session_.scan.scanType == ScanType::advance) {
    EnterRangeStep();
  } else {
    EnterPartitionStep();
  }
  FocusStepTree();
  if (session_.partitions.partitionCount == 0) {
    // It says what comes next, not what went wrong: an information box.
    view_.Notice(NoticeKind::information, kNoPartitionsMessage);
    StartQuickSearch();
  }
}

void WizardController::TreeClickDisk(TreeNodeId node) {
  const TreeNode chosen = diskNodes_.Of(node);
  if (chosen.kind != NodeKind::disk) return;
  view_.SelectTreeNode(TreeKind::disks, node);
  session_.scan.diskIndex = static_cast<std::uint16_t>(chosen.index);
  if (chosen.index < session_.disks.disks.size()) {
    const DiskInfo& disk = session_.disks.disks[chosen.index];
    for (const PanelRow& row : DiskPanelRows(disk)) view_.SetPanelValue(row.label, row.value);
    // Below the rows, which device or file this is: what Next will open.
    view_.SetStatus(DiskPathText(disk));
  }
  Show(Control::next, Shown::Yes());
}

}  // namespace salvex::wizard
