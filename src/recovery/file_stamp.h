#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

namespace salvex {

// A FAT write date and time as the extraction request carries them.
constexpr std::uint64_t PackFatFileTime(std::uint16_t writeDate, std::uint16_t writeTime) {
  return writeDate | (std::uint64_t{writeTime} << 16);
}

// The time put on a recovered FAT file (`packed` as PackFatFileTime makes
// it): its write date and time, taken as UTC. Nothing for a date that names
// no real day (0, or month 13); a time that names no real time of day (hour
// 25) gives the day's start.
std::optional<std::time_t> FatFileStamp(std::uint64_t packed);

}  // namespace salvex
