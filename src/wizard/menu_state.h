#pragma once

#include <utility>
#include <vector>

#include "wizard/wizard_types.h"

namespace salvex::wizard {

// The states of the menu bar. `startOrWorking` holds in the disk step and
// while a scan or search runs; Settings is then enabled only in the disk
// step, as are Open and Create Disk Image. The partition (or range) step
// and the file-system step may load a snapshot; the items step has the
// commands over the items.
enum class MenuState { startOrWorking, partitions, fileSystems, items };

// The menu state a step shows when nothing runs.
MenuState IdleMenuState(WizardStep step);

// The menu entries a state enables or disables. Exit, Help Contents and
// About are always enabled, so no state lists them.
std::vector<std::pair<Command, bool>> MenuStateEntries(MenuState state, WizardStep step);

}  // namespace salvex::wizard
