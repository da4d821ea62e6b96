#include "platform/memory_disk_source.h"

#include <algorithm>

namespace salvex {

bool MemoryDiskSource::ReadAt(std::uint64_t byteOffset, std::span<std::uint8_t> out) {
  if (byteOffset > bytes_.size() || out.size() > bytes_.size() - byteOffset) return false;
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(byteOffset), out.size(), out.begin());
  return true;
}

}  // namespace salvex
