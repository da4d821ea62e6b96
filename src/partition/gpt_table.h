#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "common/le_bytes.h"
#include "disk/sector_reader.h"

namespace salvex {

// The fields of a GUID partition table header that locate its entries.
struct GptHeader {
  std::uint64_t currentLba = 0;
  std::uint64_t entriesLba = 0;
  std::uint32_t entryCount = 0;
  std::uint32_t entrySize = 0;
  std::uint32_t entriesCrc = 0;

  std::uint64_t EntriesBytes() const { return std::uint64_t{entryCount} * entrySize; }
};

// Why a sector is not a usable GPT header, so tests and fuzzing can tell.
enum class GptHeaderCheck { valid, noSignature, badHeaderSize, badHeaderCrc, wrongLocation, badEntryLayout };

struct GptHeaderResult {
  GptHeaderCheck check = GptHeaderCheck::noSignature;
  GptHeader header;
};

// Decodes the header held by the sector at `lba`: "EFI PART", a size of 92
// to 512 bytes covered by its CRC32, its own LBA recorded, and entries of
// 128 × 2^n bytes (up to 4096) that fill at most 1 MiB.
GptHeaderResult DecodeGptHeader(Bytes sector, std::uint64_t lba);

enum class GptPartitionType { other, basicData, efiSystem };

struct GptEntry {
  GptPartitionType type = GptPartitionType::other;
  std::uint64_t firstLba = 0;
  std::uint64_t lastLba = 0;  // inclusive
};

// The used entries (type GUID not zero) of an entry array, in table order;
// nothing when the array does not match the header's CRC32. An entry whose
// last sector lies before its first, or is the unaddressable 2^64 - 1, is
// left out.
std::optional<std::vector<GptEntry>> DecodeGptEntries(Bytes entries, const GptHeader& header);

// The primary table (header at sector 1), or, when its header or entries
// are damaged, the backup whose header is the disk's last sector. Nothing
// when neither holds. `diskSectors` counts 512-byte sectors; the table's
// LBAs count logical sectors of `sectorScale` of them (and stay so in the
// entries returned).
std::optional<std::vector<GptEntry>> ReadGptEntries(SectorReader& reader, std::uint64_t diskSectors,
                                                    std::uint32_t sectorScale = 1);

}  // namespace salvex
