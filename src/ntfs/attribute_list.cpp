#include "ntfs/attribute_list.h"

#include <algorithm>

#include "common/sector.h"
#include "ntfs/mft_record.h"
#include "ntfs/run_list.h"

namespace salvex {
namespace {

// A longer list is damage, not a real MFT record's.
constexpr std::uint64_t kMaxAttributeListBytes = 256 * 1024;
constexpr std::size_t kEntryHeader = 24;

}  // namespace

std::optional<std::size_t> FindAttribute(Bytes record, std::uint32_t type) {
  std::size_t offset = u16le(record, 20);
  while (offset + 8 <= std::min(record.size(), kMftRecordSize)) {
    const std::uint32_t found = u32le(record, offset);
    if (found == 0 || found == ntfs::kEndOfAttributes) return std::nullopt;
    if (found == type) return offset;
    const std::uint32_t length = u32le(record, offset + 4);
    if (length == 0 || length > kMftRecordSize) return std::nullopt;
    offset += length;
  }
  return std::nullopt;
}

std::vector<std::uint8_t> ReadAttributeList(SectorReader& reader, Bytes record, std::size_t listOffset,
                                            std::uint64_t volumeStart, std::uint32_t sectorsPerCluster) {
  std::vector<std::uint8_t> list;
  if (u8(record, listOffset + 8) == 0) {
    const std::size_t value = listOffset + u16le(record, listOffset + 20);
    const std::size_t end = std::min<std::size_t>(listOffset + u32le(record, listOffset + 4), record.size());
    if (value < end) list.assign(record.begin() + static_cast<std::ptrdiff_t>(value), record.begin() + static_cast<std::ptrdiff_t>(end));
    return list;
  }
  const std::uint64_t size = std::min(u64le(record, listOffset + 48), kMaxAttributeListBytes);
  const auto runs = DecodeDataRuns(record, listOffset);
  if (!runs) return list;
  SectorBuffer sector{};
  for (const DataRun& run : *runs) {
    const std::uint64_t sectors = run.clusterCount * sectorsPerCluster;
    for (std::uint64_t i = 0; i < sectors && list.size() < size; ++i) {
      sector.fill(0);
      if (!run.sparse) ReadSectorsZeroed(reader, volumeStart + run.firstCluster * sectorsPerCluster + i, 1, sector);
      list.insert(list.end(), sector.begin(), sector.end());
    }
  }
  list.resize(std::min<std::size_t>(list.size(), size));
  return list;
}

std::vector<AttributeListEntry> ParseAttributeList(Bytes list) {
  std::vector<AttributeListEntry> entries;
  for (std::size_t entry = 0; entry + kEntryHeader <= list.size();) {
    AttributeListEntry parsed;
    parsed.type = u32le(list, entry);
    if (parsed.type == 0 || parsed.type == ntfs::kEndOfAttributes) break;
    parsed.nameLength = u8(list, entry + 6);
    parsed.lowestVcn = u64le(list, entry + 8);
    parsed.record = u32le(list, entry + 16);
    entries.push_back(parsed);
    const std::uint16_t length = u16le(list, entry + 4);
    if (length == 0) break;
    entry += length;
  }
  return entries;
}

}  // namespace salvex
