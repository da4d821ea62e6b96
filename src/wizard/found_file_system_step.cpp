// The found-file-system step: what the sweep found, one chosen, and Next's
// mount of it on the worker.

#include "deepscan/found_file_system.h"
#include "session/advance_range.h"
#include "session/captions.h"
#include "session/scans.h"
#include "wizard/step_panel_texts.h"
#include "wizard/tree_captions.h"
#include "wizard/wizard_controller.h"

namespace salvex::wizard {
namespace {

constexpr TreeNodeId kRoot = FolderTreeModel::kRoot;

constexpr const char* kNothingFoundStatus =
    "No file system was found in the range: try a wider range or another file system type.";

std::string WithArticle(FsType type) {
  const std::string name = FsTypeText(type);
  // "an exFAT", "an NTFS", "a FAT32": as the names are spoken.
  return (type == FsType::exfat || type == FsType::ntfs ? "an " : "a ") + name;
}

// Nothing of the type swept for, but the partition walk saw another type in
// the range: which, and what to choose instead.
std::string OtherTypeText(const ScanState& scan, std::uint32_t index, const PartitionRecord& record) {
  return "No " + std::string(FsTypeText(scan.selectedFsType)) + " file system was found in the range, but it holds " +
         WithArticle(record.fsType) + " volume (" + PartitionCaption(index, record) + "): choose " +
         FsTypeText(record.fsType) + " in Select File System and scan again.";
}

}  // namespace

void WizardController::EnterFoundFileSystemStep() {
  // One node for each file system the sweep (or a snapshot) found, known by
  // its place in the found list.
  FolderTreeModel& tree = CreateTree(TreeKind::foundFileSystems, kFoundRoot);
  const auto& found = session_.deepScan.found;
  for (std::uint32_t i = 0; i < found.size(); ++i) {
    const TreeNodeId node = tree.InsertNode(kRoot, FoundFileSystemCaption(found[i]), kFolderImage, kOpenFolderImage);
    tree.SetToolTip(node, FoundFileSystemToolTip(found[i]));
    foundNodes_.Set(node, {NodeKind::foundFileSystem, i});
  }
  view_.SetTree(TreeKind::foundFileSystems, foundTree_.get());
  ShowStepControls(StepView::foundFileSystems, Direction::entering);
  view_.ExpandTreeNode(TreeKind::foundFileSystems, kRoot);
  SetInfoPanel(LabelSet::fileSystem);
  SetStep(WizardStep::foundFileSystems);
  if (session_.deepScan.FoundFileSystemCount() > 0) {
    SetMenuState(MenuState::fileSystems);
  } else {
    // An empty list alone says nothing of why.
    Show(Control::next, Shown::No());
    const auto other = OtherTypeInRange(session_.partitions, session_.scan);
    if (other) {
      const std::string text = OtherTypeText(session_.scan, *other, session_.partitions.records[*other]);
      view_.SetStatus(text);
      view_.Notice(NoticeKind::information, text);
    } else {
      view_.SetStatus(kNothingFoundStatus);
    }
  }
  SetQuickHelp(QuickHelp::fileSystemStep);
  FocusStepTree();
}

void WizardController::ReturnToFoundFileSystemStep() {
  SetInfoPanel(LabelSet::fileSystem);
  SetStep(WizardStep::foundFileSystems);
  SetMenuState(MenuState::fileSystems);
  SetQuickHelp(QuickHelp::fileSystemStep);
  // As the partition step: the file system chosen before is chosen again.
  ChooseSelectedNodeAgain(TreeKind::foundFileSystems);
  FocusStepTree();
}

void WizardController::LeaveFoundFileSystemStep() {
  session_.deepScan.Clear();
  DestroyTree(TreeKind::foundFileSystems);
  ShowStepControls(StepView::foundFileSystems, Direction::leaving);
}

void WizardController::TreeClickFoundFileSystem(TreeNodeId node) {
  const TreeNode chosen = foundNodes_.Of(node);
  if (chosen.kind != NodeKind::foundFileSystem) return;
  const auto ordinal = static_cast<std::uint16_t>(chosen.index + 1);
  if (!SelectFoundFileSystem(session_.deepScan, ordinal, session_.volume)) return;
  view_.SelectTreeNode(TreeKind::foundFileSystems, node);
  for (const PanelRow& row : FoundFileSystemPanelRows(session_.volume)) view_.SetPanelValue(row.label, row.value);
  EmptyList();
  Show(Control::next, Shown::Yes());
}

void WizardController::StartMount() {
  CreateTree(TreeKind::items, kItemsRoot);
  view_.SetTree(TreeKind::items, nullptr);
  SetQuickHelp(QuickHelp::mountStarted);
  Show(Control::next, Shown::No());
  Show(Control::back, Shown::No());
  ShowStepControls(StepView::mountedItems, Direction::entering);
  Run(
      [this] {
        bool completed = true;
        MountFoundFileSystem(session_, session_.volume.foundFsOrdinal, view_, *itemsTree_, kRoot, completed);
      },
      [this] { FinishMount(); });
}

void WizardController::FinishMount() {
  SetInfoPanel(LabelSet::none);
  EnterItemsStep();
  SetQuickHelp(QuickHelp::itemsStep);
  NoticeUnreadableDirectories();
}

}  // namespace salvex::wizard
