#include "recovery/file_stamp.h"

#include "items/date_format.h"

namespace salvex {

std::optional<std::time_t> FatFileStamp(std::uint64_t packed) {
  const auto seconds = DosStampSeconds(static_cast<std::uint16_t>(packed), static_cast<std::uint16_t>(packed >> 16));
  if (!seconds) return std::nullopt;
  return static_cast<std::time_t>(*seconds);
}

}  // namespace salvex
