#include "wizard/tree_captions.h"

namespace salvex::wizard {

std::string PartitionsRootCaption(std::uint16_t diskIndex) { return "Storage Device " + std::to_string(diskIndex); }

std::uint16_t DiskIndexOfCaption(std::string_view caption) {
  constexpr std::size_t kPrefixLength = 14;
  std::uint32_t number = 0;
  for (std::size_t i = kPrefixLength; i < caption.size() && caption[i] >= '0' && caption[i] <= '9'; ++i) {
    number = number * 10 + static_cast<std::uint32_t>(caption[i] - '0');
    if (number > UINT16_MAX) return 0;
  }
  return static_cast<std::uint16_t>(number);
}

}  // namespace salvex::wizard
