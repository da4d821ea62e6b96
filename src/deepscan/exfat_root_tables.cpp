#include "deepscan/exfat_root_tables.h"

#include "common/sector.h"
#include "exfat/exfat_entry_set.h"

namespace salvex {
namespace {

using namespace exfat_entry;

constexpr std::size_t kTableChecksum = 4;

}  // namespace

std::optional<ExfatRootTables> ReadExfatRootTables(Bytes sector) {
  ExfatRootTables tables;
  bool bitmap = false;
  bool upcase = false;
  for (std::size_t offset = 0; offset + kExfatEntrySize <= std::min(sector.size(), kSectorSize);
       offset += kExfatEntrySize) {
    const Bytes entry = sector.subspan(offset, kExfatEntrySize);
    const std::uint32_t first = u32le(entry, kFirstCluster);
    const std::uint64_t bytes = u64le(entry, kDataLength);
    if (first < 2 || bytes == 0) continue;
    if (entry[0] == kAllocationBitmap && !bitmap) {
      bitmap = true;
      tables.bitmapCluster = first;
      tables.bitmapBytes = bytes;
    } else if (entry[0] == kUpcaseTable && !upcase) {
      upcase = true;
      tables.upcaseCluster = first;
      tables.upcaseBytes = bytes;
      tables.upcaseChecksum = u32le(entry, kTableChecksum);
    }
  }
  if (!bitmap || !upcase) return std::nullopt;
  return tables;
}

std::uint32_t ExfatTableChecksum(Bytes table) {
  std::uint32_t checksum = 0;
  for (const std::uint8_t byte : table) checksum = ((checksum & 1) ? 0x80000000u : 0u) + (checksum >> 1) + byte;
  return checksum;
}

}  // namespace salvex
