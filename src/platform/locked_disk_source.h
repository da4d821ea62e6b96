#pragma once

#include <mutex>

#include "platform/disk_source.h"

namespace salvex {

// Another source's bytes, read one request at a time under a lock that all
// its users share: for readers on several threads over one source, which
// need not be safe to read from two threads at once.
class LockedDiskSource final : public DiskSource {
 public:
  LockedDiskSource(DiskSource& inner, std::mutex& mutex) : inner_(inner), mutex_(mutex) {}

  bool ReadAt(std::uint64_t byteOffset, std::span<std::uint8_t> out) override {
    const std::lock_guard lock(mutex_);
    return inner_.ReadAt(byteOffset, out);
  }
  std::uint64_t SizeBytes() const override { return inner_.SizeBytes(); }
  std::uint64_t NextDataOffset(std::uint64_t byteOffset) const override {
    const std::lock_guard lock(mutex_);
    return inner_.NextDataOffset(byteOffset);
  }
  std::uint32_t LogicalSectorBytes() const override { return inner_.LogicalSectorBytes(); }
  std::string Name() const override { return inner_.Name(); }
  std::optional<FileIdentity> Identity() const override { return inner_.Identity(); }

 private:
  DiskSource& inner_;
  std::mutex& mutex_;
};

}  // namespace salvex
