#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "platform/disk_source.h"

namespace salvex {

// Wraps another source and fails chosen sectors the way a damaged disk does:
// any request that touches a bad sector fails as a whole, whether it asks for
// that sector alone or for a block around it. A failed request leaves the
// caller's buffer untouched. Used by tests for retries and bad sectors.
class FaultyDiskSource final : public DiskSource {
 public:
  struct Request {
    std::uint64_t byteOffset;
    std::uint64_t length;
    bool succeeded;
  };

  explicit FaultyDiskSource(std::unique_ptr<DiskSource> inner) : inner_(std::move(inner)) {}

  // The sector never reads.
  void FailSector(std::uint64_t sector) { badSectors_.insert(sector); }
  // Sectors first .. first + count - 1 never read: a bad stretch of a disk.
  void FailSectors(std::uint64_t first, std::uint64_t count) {
    for (std::uint64_t sector = first; sector < first + count; ++sector) badSectors_.insert(sector);
  }
  // The sector fails its first `failures` reads, then reads normally.
  void FailSectorTimes(std::uint64_t sector, int failures) { flakySectors_[sector] = failures; }

  bool ReadAt(std::uint64_t byteOffset, std::span<std::uint8_t> out) override;
  std::uint64_t SizeBytes() const override { return inner_->SizeBytes(); }
  std::uint64_t NextDataOffset(std::uint64_t byteOffset) const override { return inner_->NextDataOffset(byteOffset); }
  std::uint32_t LogicalSectorBytes() const override { return inner_->LogicalSectorBytes(); }
  std::string Name() const override { return inner_->Name(); }

  const std::vector<Request>& Requests() const { return requests_; }
  void ClearRequests() { requests_.clear(); }

 private:
  bool TouchesFailingSector(std::uint64_t byteOffset, std::uint64_t length);

  std::unique_ptr<DiskSource> inner_;
  std::set<std::uint64_t> badSectors_;
  std::map<std::uint64_t, int> flakySectors_;
  std::vector<Request> requests_;
};

}  // namespace salvex
