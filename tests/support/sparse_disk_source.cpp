#include "support/sparse_disk_source.h"

#include <algorithm>

#include "common/sector.h"

namespace salvex::testing {

void SparseDiskSource::Put(std::uint64_t sector, std::span<const std::uint8_t> bytes) {
  std::vector<std::uint8_t>& stored = stored_[sector];
  stored.assign(kSectorSize, 0);
  std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), kSectorSize), stored.begin());
}

bool SparseDiskSource::ReadAt(std::uint64_t byteOffset, std::span<std::uint8_t> out) {
  if (byteOffset > SizeBytes() || out.size() > SizeBytes() - byteOffset) return false;
  std::fill(out.begin(), out.end(), std::uint8_t{0});
  const std::uint64_t end = byteOffset + out.size();
  for (auto it = stored_.lower_bound(byteOffset / kSectorSize); it != stored_.end(); ++it) {
    const std::uint64_t at = it->first * kSectorSize;
    if (at >= end) break;
    for (std::size_t i = 0; i < kSectorSize; ++i) {
      if (at + i >= byteOffset && at + i < end) out[at + i - byteOffset] = it->second[i];
    }
  }
  return true;
}

std::uint64_t SparseDiskSource::SizeBytes() const { return sectors_ * kSectorSize; }

}  // namespace salvex::testing
