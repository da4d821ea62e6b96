#pragma once

#include <cstdint>
#include <vector>

#include "common/le_bytes.h"
#include "items/items.h"

namespace salvex {

// The allocation bitmap of an exFAT volume: bit n of its bytes says whether
// cluster n + 2 is in use. A bitmap that could not be read knows nothing,
// and calls every cluster free. Clusters found in use elsewhere (those live
// files and folders hold) can be added: a bitmap cut short, or one that
// calls such clusters free, is not believed for them.
class ExfatBitmap {
 public:
  ExfatBitmap() = default;
  explicit ExfatBitmap(std::vector<std::uint8_t> bits) : bits_(std::move(bits)), read_(!bits_.empty()) {}

  // The bitmap was read from the disk.
  bool Known() const { return read_; }
  bool IsUsed(std::uint32_t cluster) const;
  // Whether any cluster of `runs` is in use.
  bool AnyUsed(const std::vector<ClusterRun>& runs) const;
  // How many of the `count` clusters from `first` are in use.
  std::uint64_t CountUsed(std::uint64_t first, std::uint64_t count) const;
  // Marks `count` clusters from `first` (at least 2) in use, growing the
  // bitmap where it ends before them.
  void MarkUsed(std::uint32_t first, std::uint64_t count);
  void MarkUsed(const std::vector<ClusterRun>& runs);
  // Marks in use every cluster `other` calls in use.
  void MarkUsed(const ExfatBitmap& other);

 private:
  std::vector<std::uint8_t> bits_;
  bool read_ = false;
};

// Consecutive clusters of `chain` joined into runs.
std::vector<ClusterRun> RunsOfChain(const std::vector<std::uint32_t>& chain);

}  // namespace salvex
