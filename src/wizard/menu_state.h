#pragma once

#include <utility>
#include <vector>

#include "wizard/wizard_types.h"

namespace salvex::wizard {

// The menu entries that menu state 0, 1, 2 or 3 enables or disables. State
// 0 holds at start-up and while a scan or search runs; Settings is then
// enabled only in the disk step, as is Open Disk Image. Exit, Help
// Contents and About are always enabled, so no state lists them.
std::vector<std::pair<Command, bool>> MenuStateEntries(int state, int wizardStep);

}  // namespace salvex::wizard
