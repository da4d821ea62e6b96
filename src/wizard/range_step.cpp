// The range step: the Advance Scan's form of the partition step. The
// partitions tree (partition_step.cpp) fills the range group; Next reads the
// range and sweeps it for file systems on the worker.

#include "session/advance_range.h"
#include "session/scans.h"
#include "wizard/step_panel_texts.h"
#include "wizard/tree_captions.h"
#include "wizard/wizard_controller.h"

namespace salvex::wizard {
namespace {

constexpr TreeNodeId kRoot = FolderTreeModel::kRoot;

}  // namespace

void WizardController::EnterRangeStep() {
  SetStep(WizardStep::range);
  ShowStepControls(StepView::partition, Direction::entering);
  PresetRange();
  ShowPartitionStepFace();
}

void WizardController::ReturnToRangeStep() {
  SetStep(WizardStep::range);
  ShowPartitionStepFace();
  // The panel describes the range swept, as the range group still holds it.
  for (const PanelRow& row : PartitionPanelRows(session_.scan)) view_.SetPanelValue(row.label, row.value);
  Show(Control::next, Shown::Yes());
  FocusStepTree();
}

// The first partition's range, or the whole disk when there is none.
void WizardController::PresetRange() {
  const PartitionTable& table = session_.partitions;
  RangeFields fields;
  if (table.partitionCount != 0) {
    const PartitionRecord& first = table.records[0];
    fields.fileSystemPosition = FileSystemPosition(first.fsType);
    fields.startSector = std::to_string(first.startSector);
    // Start plus count: the End Sector field names the first sector past the range.
    fields.endSector = std::to_string(std::uint64_t{first.startSector} + first.sectorCount);
  } else {
    fields.fileSystemPosition = FileSystemPosition(FsType::fat32);
    fields.startSector = "0";
    const std::uint16_t disk = session_.scan.diskIndex;
    fields.endSector = std::to_string(disk < session_.disks.disks.size() ? session_.disks.disks[disk].totalSectors : 0);
  }
  view_.SetRangeFields(fields);
}

void WizardController::NextFromRange() {
  const RangeFields fields = view_.ReadRangeFields();
  const AdvanceRangeCheck check =
      ReadAdvanceRange(session_.scan, fields.fileSystemPosition, fields.startSector, fields.endSector);
  if (check != AdvanceRangeCheck::valid) {
    view_.Notice(NoticeKind::error, AdvanceRangeMessage(check));
    Show(Control::next, Shown::Yes());
    return;
  }
  SetMenuState(MenuState::startOrWorking);
  SetQuickHelp(QuickHelp::advanceScanStarted);
  StartAdvanceScan();
}

void WizardController::StartAdvanceScan() {
  // The last sweep's file systems go at once; this one's are listed when it ends.
  DestroyTree(TreeKind::foundFileSystems);
  view_.SetTreeShown(TreeKind::foundFileSystems, Shown::No());
  ShowStepControls(StepView::sweep, Direction::entering);
  SetInfoPanel(LabelSet::advanceScan);
  Show(Control::back, Shown::No());
  Run([this] { SweepAndClassify(session_, view_); }, [this] { FinishAdvanceScan(); });
}

void WizardController::FinishAdvanceScan() { EnterFoundFileSystemStep(); }

}  // namespace salvex::wizard
