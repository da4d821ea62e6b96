#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "carve/carve_format.h"

namespace salvex {

// Which families can start with the bytes at hand, by a lookup of their
// first two bytes (and a few compares for signatures that do not begin at
// the first byte): so that of the millions of sectors a carve passes, only
// the few that could start a file are looked at closer.
class FirstBytesTable {
 public:
  // A table of the families in `enabled`.
  explicit FirstBytesTable(FamilySet enabled);

  // The families whose signature the bytes at hand carry.
  FamilySet Candidates(Bytes start) const;
  // The same, for the families searched for at every byte.
  FamilySet EverywhereCandidates(Bytes start) const { return Candidates(start) & everywhere_; }
  // The first bytes of the families searched for at every byte.
  const std::vector<std::uint8_t>& EverywhereLeadBytes() const { return leadBytes_; }

 private:
  struct Elsewhere {
    std::uint8_t at;
    std::string_view bytes;
    FamilySet family;
  };
  std::vector<FamilySet> byFirstTwo_;  // 65536 entries
  std::vector<Elsewhere> elsewhere_;
  FamilySet everywhere_ = 0;
  std::vector<std::uint8_t> leadBytes_;
};

}  // namespace salvex
