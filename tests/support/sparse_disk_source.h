#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "platform/disk_source.h"

namespace salvex::testing {

// A disk of any size, past 2 TiB if need be, that reads as zeros except for
// the sectors put in it; only those are kept in memory.
class SparseDiskSource final : public DiskSource {
 public:
  explicit SparseDiskSource(std::uint64_t sectors) : sectors_(sectors) {}

  // The sector's bytes from now on (at most one sector; the rest stays zero).
  void Put(std::uint64_t sector, std::span<const std::uint8_t> bytes);

  bool ReadAt(std::uint64_t byteOffset, std::span<std::uint8_t> out) override;
  std::uint64_t SizeBytes() const override;
  std::string Name() const override { return "sparse disk"; }

 private:
  std::uint64_t sectors_;
  std::map<std::uint64_t, std::vector<std::uint8_t>> stored_;
};

}  // namespace salvex::testing
