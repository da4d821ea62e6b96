#include "wizard/menu_state.h"

namespace salvex::wizard {

MenuState IdleMenuState(WizardStep step) {
  switch (step) {
    case WizardStep::partition:
    case WizardStep::range:
      return MenuState::partitions;
    case WizardStep::foundFileSystems:
      return MenuState::fileSystems;
    case WizardStep::items:
      return MenuState::items;
    case WizardStep::starting:
    case WizardStep::disk:
      break;
  }
  return MenuState::startOrWorking;
}

std::vector<std::pair<Command, bool>> MenuStateEntries(MenuState state, WizardStep step) {
  const bool items = state == MenuState::items;
  const bool tables = state == MenuState::partitions || state == MenuState::fileSystems;
  const bool diskStepIdle = state == MenuState::startOrWorking && step == WizardStep::disk;
  return {
      {Command::recoverSelected, items}, {Command::recoverAll, items},  {Command::recoverMarked, items},
      {Command::saveSnapshot, items},
      {Command::viewIcons, items},       {Command::viewList, items},    {Command::viewDetails, items},
      {Command::findFiles, items},       {Command::fileFilters, items}, {Command::driveInformation, items},
      {Command::settings, state != MenuState::startOrWorking || step == WizardStep::disk},
      {Command::loadSnapshot, tables},   {Command::openDiskImage, diskStepIdle},
      {Command::viewSectors, tables || items},
      {Command::refreshDisks, diskStepIdle},
      {Command::createDiskImage, diskStepIdle},
  };
}

}  // namespace salvex::wizard
