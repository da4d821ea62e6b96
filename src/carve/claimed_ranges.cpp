#include "carve/claimed_ranges.h"

namespace salvex {

void ClaimedRanges::Add(ByteRange range, bool holdsFiles) {
  if (range.start >= range.end) return;
  // A file found inside another claims its bytes out of the other's: the
  // outer claim is split around it.
  auto it = claims_.upper_bound(range.start);
  if (it != claims_.begin()) --it;
  while (it != claims_.end() && it->second.range.start < range.end) {
    const Claim old = it->second;
    if (old.range.end <= range.start) {
      ++it;
      continue;
    }
    it = claims_.erase(it);
    if (old.range.start < range.start) claims_[old.range.start] = {{old.range.start, range.start}, old.holdsFiles};
    if (old.range.end > range.end) claims_[range.end] = {{range.end, old.range.end}, old.holdsFiles};
  }
  claims_[range.start] = {range, holdsFiles};
}

std::optional<ClaimedRanges::Claim> ClaimedRanges::At(std::uint64_t offset) const {
  auto it = claims_.upper_bound(offset);
  if (it == claims_.begin()) return std::nullopt;
  --it;
  if (it->second.range.Contains(offset)) return it->second;
  return std::nullopt;
}

bool ClaimedRanges::AnyIn(ByteRange range) const {
  if (range.start >= range.end) return false;
  if (At(range.start)) return true;
  const auto next = claims_.upper_bound(range.start);
  return next != claims_.end() && next->second.range.start < range.end;
}

void ClaimedRanges::ForgetBefore(std::uint64_t offset) {
  for (auto it = claims_.begin(); it != claims_.end() && it->first < offset;) {
    it = it->second.range.end <= offset ? claims_.erase(it) : std::next(it);
  }
}

}  // namespace salvex
