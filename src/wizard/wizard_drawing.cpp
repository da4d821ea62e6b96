// What the steps share: the step's record, its label set, Quick Help, menu
// state and controls row, and the trees with their payloads.

#include "wizard/wizard_controller.h"

namespace salvex::wizard {

void WizardController::SetStep(WizardStep step) {
  step_ = step;
  session_.scan.wizardStep = wizard::StepNumber(step);
}

void WizardController::SetInfoPanel(LabelSet set) {
  view_.SetPanelLabels(MakeLabelSet(set, session_.scan.selectedFsType, session_.volume.fsType));
}

void WizardController::SetQuickHelp(QuickHelp help) { view_.SetQuickHelp(QuickHelpText(help)); }

void WizardController::SetMenuState(MenuState state) {
  for (const auto& [command, enabled] : MenuStateEntries(state, step_)) view_.SetCommandEnabled(command, enabled);
}

void WizardController::FocusStepTree() {
  if (const auto kind = TreeOfStep(step_)) view_.FocusTree(*kind);
}

void WizardController::EmptyList() {
  list_.Clear();
  view_.ShowListRows(nullptr);
}

void WizardController::ShowStepControls(StepView face, Direction direction) {
  const StepControls* controls = FindStepControls(face, direction);
  if (controls == nullptr) return;
  for (const auto& [control, shown] : controls->controls) Show(control, shown);
  if (session_.scan.scanType == ScanType::advance) {
    for (const auto& [control, shown] : controls->advanceOnly) Show(control, shown);
  }
  if (session_.scan.scanType == ScanType::byFileType) {
    for (const auto& [control, shown] : controls->fileTypeOnly) Show(control, shown);
  }
  for (const auto& [tree, shown] : controls->trees) view_.SetTreeShown(tree, shown);
  if (controls->emptyList) EmptyList();
  if (controls->listLayout) view_.SetListLayout(*controls->listLayout);
  if (controls->hideFirstLabel) view_.HideFirstPanelLabel();
  if (controls->clearStatus) view_.SetStatus("");
  if (controls->resetProgress) {
    view_.SetProgress(0);
    view_.ShowProgress(false);
  }
}

std::unique_ptr<FolderTreeModel>& WizardController::TreeSlot(TreeKind kind) {
  switch (kind) {
    case TreeKind::disks:
      return diskTree_;
    case TreeKind::partitions:
      return partitionsTree_;
    case TreeKind::foundFileSystems:
      return foundTree_;
    case TreeKind::items:
      break;
  }
  return itemsTree_;
}

TreeNodes* WizardController::NodesOf(TreeKind kind) {
  switch (kind) {
    case TreeKind::disks:
      return &diskNodes_;
    case TreeKind::partitions:
      return &partitionNodes_;
    case TreeKind::foundFileSystems:
      return &foundNodes_;
    case TreeKind::items:
      break;
  }
  return nullptr;
}

const FolderTreeModel* WizardController::Tree(TreeKind kind) const {
  return const_cast<WizardController*>(this)->TreeSlot(kind).get();
}

std::optional<TreeKind> WizardController::TreeOfStep(WizardStep step) {
  switch (step) {
    case WizardStep::disk:
      return TreeKind::disks;
    case WizardStep::partition:
    case WizardStep::range:
      return TreeKind::partitions;
    case WizardStep::foundFileSystems:
      return TreeKind::foundFileSystems;
    case WizardStep::items:
      return TreeKind::items;
    case WizardStep::starting:
      break;
  }
  return std::nullopt;
}

FolderTreeModel& WizardController::CreateTree(TreeKind kind, std::string rootCaption) {
  auto& slot = TreeSlot(kind);
  // The view lets go of the old tree before it is freed.
  if (slot) view_.SetTree(kind, nullptr);
  slot = std::make_unique<FolderTreeModel>();
  slot->SetText(FolderTreeModel::kRoot, rootCaption);
  if (TreeNodes* nodes = NodesOf(kind)) nodes->Clear();
  return *slot;
}

void WizardController::DestroyTree(TreeKind kind) {
  view_.SetTree(kind, nullptr);
  TreeSlot(kind).reset();
  if (TreeNodes* nodes = NodesOf(kind)) nodes->Clear();
}

}  // namespace salvex::wizard
