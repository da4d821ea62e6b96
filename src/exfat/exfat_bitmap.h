#pragma once

#include <cstdint>
#include <vector>

#include "common/le_bytes.h"
#include "items/items.h"

namespace salvex {

// The allocation bitmap of an exFAT volume: bit n of its bytes says whether
// cluster n + 2 is in use. A bitmap that could not be read knows nothing,
// and calls every cluster free.
class ExfatBitmap {
 public:
  ExfatBitmap() = default;
  explicit ExfatBitmap(std::vector<std::uint8_t> bits) : bits_(std::move(bits)) {}

  bool Known() const { return !bits_.empty(); }
  bool IsUsed(std::uint32_t cluster) const;
  // Whether any cluster of `runs` is in use.
  bool AnyUsed(const std::vector<ClusterRun>& runs) const;

 private:
  std::vector<std::uint8_t> bits_;
};

// Consecutive clusters of `chain` joined into runs.
std::vector<ClusterRun> RunsOfChain(const std::vector<std::uint32_t>& chain);

}  // namespace salvex
