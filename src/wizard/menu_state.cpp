#include "wizard/menu_state.h"

namespace salvex::wizard {

std::vector<std::pair<Command, bool>> MenuStateEntries(int state, int wizardStep) {
  const bool items = state == 3;
  const bool tables = state == 1 || state == 2;
  return {
      {Command::recoverSelected, items}, {Command::recoverAll, items},  {Command::saveSnapshot, items},
      {Command::viewIcons, items},       {Command::viewList, items},    {Command::viewDetails, items},
      {Command::findFiles, items},       {Command::fileFilters, items}, {Command::driveInformation, items},
      {Command::settings, state != 0 || wizardStep == 0}, {Command::loadSnapshot, tables},
      {Command::openDiskImage, state == 0 && wizardStep == 0},
      {Command::createDiskImage, state == 0 && wizardStep == 0},
  };
}

}  // namespace salvex::wizard
