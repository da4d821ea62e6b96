#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace salvex::wizard {

// The numbers of the "Storage Device" nodes. A device (by its path, or an
// image by its file name) gets the next number when it is first listed and
// keeps it while the window is open: a device that goes away and comes
// back, or a new listing of the devices, leaves every number as it was.
// The first listing numbers its devices 0, 1, 2... in its order.
class DeviceNumbers {
 public:
  std::uint32_t NumberOf(std::string_view devicePath);

 private:
  std::vector<std::string> paths_;  // by number
};

}  // namespace salvex::wizard
