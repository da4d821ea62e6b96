#include "wizard/device_numbers.h"

#include <algorithm>

namespace salvex::wizard {

std::uint32_t DeviceNumbers::NumberOf(std::string_view devicePath) {
  // A handful of devices: a linear look-up is the index.
  const auto known = std::find(paths_.begin(), paths_.end(), devicePath);
  if (known != paths_.end()) return static_cast<std::uint32_t>(known - paths_.begin());
  paths_.emplace_back(devicePath);
  return static_cast<std::uint32_t>(paths_.size() - 1);
}

}  // namespace salvex::wizard
