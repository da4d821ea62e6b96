#include "platform/faulty_disk_source.h"

#include "common/sector.h"

namespace salvex {

bool FaultyDiskSource::TouchesFailingSector(std::uint64_t byteOffset, std::uint64_t length) {
  if (length == 0) return false;
  const std::uint64_t first = byteOffset / kSectorSize;
  const std::uint64_t last = (byteOffset + length - 1) / kSectorSize;
  bool fails = false;
  for (auto it = badSectors_.lower_bound(first); it != badSectors_.end() && *it <= last; ++it) fails = true;
  for (auto it = flakySectors_.lower_bound(first); it != flakySectors_.end() && it->first <= last; ++it) {
    if (it->second > 0) {
      --it->second;  // each request that touches the sector uses up one failure
      fails = true;
    }
  }
  return fails;
}

bool FaultyDiskSource::ReadAt(std::uint64_t byteOffset, std::span<std::uint8_t> out) {
  bool ok = !TouchesFailingSector(byteOffset, out.size()) && inner_->ReadAt(byteOffset, out);
  requests_.push_back({byteOffset, out.size(), ok});
  return ok;
}

}  // namespace salvex
