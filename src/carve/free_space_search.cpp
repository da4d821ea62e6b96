#include "carve/free_space_search.h"

#include <algorithm>
#include <cstring>

namespace salvex {

std::vector<std::uint64_t> FindInFreeSpace(CarveReader& disk, const CarveArea& area, const ClaimedRanges& claims,
                                           std::uint64_t from, std::uint64_t within, std::string_view pattern,
                                           std::size_t limit) {
  std::vector<std::uint64_t> found;
  if (pattern.size() < 2) return found;
  const std::uint64_t stop = std::min(area.end, from + within);
  const auto lead = static_cast<unsigned char>(pattern[0]);
  for (ByteRange run = area.OpenRunFrom(from); run.start < stop && found.size() < limit;
       run = area.OpenRunFrom(run.end)) {
    const std::uint64_t runEnd = std::min(run.end, stop);
    for (std::uint64_t at = run.start; at < runEnd && found.size() < limit;) {
      const Bytes window =
          disk.Read(at, static_cast<std::size_t>(std::min<std::uint64_t>(CarveReader::kBlockBytes, runEnd - at)));
      if (window.size() < pattern.size()) break;
      const std::uint8_t* const last = window.data() + window.size() - pattern.size() + 1;
      for (const std::uint8_t* p = window.data(); p < last && found.size() < limit; ++p) {
        p = static_cast<const std::uint8_t*>(std::memchr(p, lead, static_cast<std::size_t>(last - p)));
        if (!p) break;
        if (std::memcmp(p, pattern.data(), pattern.size()) != 0) continue;
        const std::uint64_t position = at + static_cast<std::uint64_t>(p - window.data());
        if (!claims.At(position)) found.push_back(position);
      }
      // Patterns across the window's end are looked at with the next one.
      at += window.size() - (pattern.size() - 1);
      if (window.size() == pattern.size() - 1) break;
    }
  }
  return found;
}

bool IsFreeContinuation(const CarveArea& area, const ClaimedRanges& claims, std::uint64_t start, std::uint64_t end) {
  return start < end && area.IsBlockStart(start) && !area.IsLive(start) && area.SameStateEnd(start) >= end &&
         area.OpenRunFrom(start).start == start && area.OpenRunFrom(start).end >= end && !claims.AnyIn({start, end});
}

}  // namespace salvex
