#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "carve/carve_area.h"
#include "carve/carve_reader.h"
#include "carve/claimed_ranges.h"

namespace salvex {

// Where `pattern` (two bytes or more) lies in the free blocks no carved file
// holds, from `from` on, within `within` bytes of it: at most `limit` places.
// For the parts of a cut file whose position its own structure gives (a
// ZIP's end record, an MP4's movie box).
std::vector<std::uint64_t> FindInFreeSpace(CarveReader& disk, const CarveArea& area, const ClaimedRanges& claims,
                                           std::uint64_t from, std::uint64_t within, std::string_view pattern,
                                           std::size_t limit);

// Whether [start, end) lies in one stretch of free blocks that begins at a
// block and that no carved file holds: where the rest of a cut file may lie.
bool IsFreeContinuation(const CarveArea& area, const ClaimedRanges& claims, std::uint64_t start, std::uint64_t end);

}  // namespace salvex
