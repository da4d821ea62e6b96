#include "partition/gpt_table.h"

#include <algorithm>
#include <array>

#include "common/crc32.h"
#include "common/sector.h"

namespace salvex {
namespace {

constexpr std::size_t kMinHeaderSize = 92;
constexpr std::size_t kHeaderCrcOffset = 16;
constexpr std::uint32_t kMinEntrySize = 128;
constexpr std::uint32_t kMaxEntrySize = 4096;
// Tools write 128 entries of 128 bytes (16 KiB); the bound keeps a damaged
// header from asking for gigabytes.
constexpr std::uint64_t kMaxEntriesBytes = 1 << 20;

// Type GUIDs as stored: the first three fields little-endian.
constexpr std::array<std::uint8_t, 16> kBasicDataGuid = {0xA2, 0xA0, 0xD0, 0xEB, 0xE5, 0xB9, 0x33, 0x44,
                                                         0x87, 0xC0, 0x68, 0xB6, 0xB7, 0x26, 0x99, 0xC7};
constexpr std::array<std::uint8_t, 16> kEfiSystemGuid = {0x28, 0x73, 0x2A, 0xC1, 0x1F, 0xF8, 0xD2, 0x11,
                                                         0xBA, 0x4B, 0x00, 0xA0, 0xC9, 0x3E, 0xC9, 0x3B};

bool IsEntrySize(std::uint32_t size) {
  return size >= kMinEntrySize && size <= kMaxEntrySize && (size & (size - 1)) == 0;
}

GptPartitionType TypeOf(Bytes guid) {
  if (std::equal(guid.begin(), guid.end(), kBasicDataGuid.begin(), kBasicDataGuid.end())) {
    return GptPartitionType::basicData;
  }
  if (std::equal(guid.begin(), guid.end(), kEfiSystemGuid.begin(), kEfiSystemGuid.end())) {
    return GptPartitionType::efiSystem;
  }
  return GptPartitionType::other;
}

// The table whose header lies at logical sector `lba`, if header and
// entries are sound.
std::optional<std::vector<GptEntry>> ReadTableAt(SectorReader& reader, std::uint64_t lba, std::uint32_t scale) {
  SectorBuffer sector{};
  ReadSectorsZeroed(reader, lba * scale, 1, sector);
  const GptHeaderResult result = DecodeGptHeader(sector, lba);
  if (result.check != GptHeaderCheck::valid) return std::nullopt;
  const GptHeader& header = result.header;
  if (header.entriesLba >= UINT64_MAX / kSectorSize / scale) return std::nullopt;
  const auto sectors = static_cast<std::uint32_t>((header.EntriesBytes() + kSectorSize - 1) / kSectorSize);
  std::vector<std::uint8_t> entries(std::size_t{sectors} * kSectorSize, 0);
  ReadSectorsZeroed(reader, header.entriesLba * scale, sectors, entries);
  return DecodeGptEntries(entries, header);
}

}  // namespace

GptHeaderResult DecodeGptHeader(Bytes sector, std::uint64_t lba) {
  GptHeaderResult result;
  if (!HasText(sector, 0, "EFI PART")) return result;
  const std::uint32_t headerSize = u32le(sector, 12);
  if (headerSize < kMinHeaderSize || headerSize > sector.size()) {
    result.check = GptHeaderCheck::badHeaderSize;
    return result;
  }
  // The CRC covers the header with its own field taken as zero.
  std::array<std::uint8_t, 4> zero{};
  std::uint32_t crc = Crc32(sector.first(kHeaderCrcOffset));
  crc = Crc32(zero, crc);
  crc = Crc32(sector.subspan(kHeaderCrcOffset + 4, headerSize - kHeaderCrcOffset - 4), crc);
  if (crc != u32le(sector, kHeaderCrcOffset)) {
    result.check = GptHeaderCheck::badHeaderCrc;
    return result;
  }
  GptHeader& header = result.header;
  header.currentLba = u64le(sector, 24);
  header.entriesLba = u64le(sector, 72);
  header.entryCount = u32le(sector, 80);
  header.entrySize = u32le(sector, 84);
  header.entriesCrc = u32le(sector, 88);
  if (header.currentLba != lba) {
    result.check = GptHeaderCheck::wrongLocation;
    return result;
  }
  if (!IsEntrySize(header.entrySize) || header.EntriesBytes() > kMaxEntriesBytes) {
    result.check = GptHeaderCheck::badEntryLayout;
    return result;
  }
  result.check = GptHeaderCheck::valid;
  return result;
}

std::optional<std::vector<GptEntry>> DecodeGptEntries(Bytes entries, const GptHeader& header) {
  const std::uint64_t bytes = header.EntriesBytes();
  if (bytes > entries.size() || Crc32(entries.first(static_cast<std::size_t>(bytes))) != header.entriesCrc) {
    return std::nullopt;
  }
  std::vector<GptEntry> used;
  for (std::uint32_t i = 0; i < header.entryCount; ++i) {
    const Bytes entry = entries.subspan(std::size_t{i} * header.entrySize, header.entrySize);
    const Bytes guid = entry.first(16);
    if (std::all_of(guid.begin(), guid.end(), [](std::uint8_t byte) { return byte == 0; })) continue;
    const GptEntry decoded{TypeOf(guid), u64le(entry, 32), u64le(entry, 40)};
    // No disk has a sector 2^64 - 1: its count would wrap to 0.
    if (decoded.lastLba < decoded.firstLba || decoded.lastLba == UINT64_MAX) continue;
    used.push_back(decoded);
  }
  return used;
}

std::optional<std::vector<GptEntry>> ReadGptEntries(SectorReader& reader, std::uint64_t diskSectors,
                                                    std::uint32_t sectorScale) {
  const std::uint32_t scale = sectorScale == 0 ? 1 : sectorScale;
  if (auto primary = ReadTableAt(reader, 1, scale)) return primary;
  const std::uint64_t logicalSectors = diskSectors / scale;
  if (logicalSectors < 3) return std::nullopt;
  return ReadTableAt(reader, logicalSectors - 1, scale);
}

}  // namespace salvex
