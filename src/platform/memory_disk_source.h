#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/disk_source.h"

namespace salvex {

// A disk held in memory: crafted test disks and fuzz inputs.
class MemoryDiskSource final : public DiskSource {
 public:
  explicit MemoryDiskSource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  explicit MemoryDiskSource(std::span<const std::uint8_t> bytes) : bytes_(bytes.begin(), bytes.end()) {}

  bool ReadAt(std::uint64_t byteOffset, std::span<std::uint8_t> out) override;
  std::uint64_t SizeBytes() const override { return bytes_.size(); }
  std::string Name() const override { return "memory disk"; }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace salvex
