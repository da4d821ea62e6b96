#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

namespace salvex {

// The time put on a recovered FAT file: the day of its FAT date with the
// current time of day (UTC), as FAT keeps no time in the date field. Nothing
// for a date that names no real day (0, or month 13).
std::optional<std::time_t> FatFileStamp(std::uint16_t fatDate, std::time_t now);

}  // namespace salvex
