#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "carve/carve_area.h"

namespace salvex {

// The bytes carved files take, so that no other file is made of them: a
// sector inside a carved picture is not a start, however it looks. Only
// what lies ahead of the pass is needed; what it has passed is let go, so
// the set stays small.
class ClaimedRanges {
 public:
  struct Claim {
    ByteRange range;
    bool holdsFiles = false;  // files may lie inside it, and are looked for there
  };

  void Add(ByteRange range, bool holdsFiles);
  // The claim that holds `offset`, if any.
  std::optional<Claim> At(std::uint64_t offset) const;
  // Whether any byte of `range` is claimed.
  bool AnyIn(ByteRange range) const;
  // Lets go of the claims that end at or before `offset`.
  void ForgetBefore(std::uint64_t offset);
  std::size_t Size() const { return claims_.size(); }

 private:
  std::map<std::uint64_t, Claim> claims_;  // by first byte; claims never overlap
};

}  // namespace salvex
