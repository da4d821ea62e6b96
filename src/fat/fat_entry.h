#pragma once

#include <cstdint>

#include "common/le_bytes.h"
#include "common/sector.h"

namespace salvex {

// Where FAT entries sit. A FAT12 entry takes a byte and a half: two entries
// share three bytes, so entry n begins at byte n * 3 / 2 and, one sector in
// three, straddles the end of a sector. FAT16 entries take two bytes, FAT32
// and exFAT entries four.

// The byte of the FAT at which the entry of `cluster` begins.
constexpr std::uint64_t FatEntryOffset(std::uint64_t cluster, FsType fsType) {
  switch (fsType) {
    case FsType::fat12: return cluster * 3 / 2;
    case FsType::fat32:
    case FsType::exfat: return cluster * 4;
    default: return cluster * 2;
  }
}

// How many whole entries `bytes` bytes of a FAT hold.
constexpr std::uint64_t FatEntriesIn(std::uint64_t bytes, FsType fsType) {
  switch (fsType) {
    case FsType::fat12: return bytes * 2 / 3;
    case FsType::fat32:
    case FsType::exfat: return bytes / 4;
    default: return bytes / 2;
  }
}

// The bytes read to decode one entry (FAT12: the 16-bit word its 12 bits lie in).
constexpr std::size_t FatEntryReadBytes(FsType fsType) {
  return fsType == FsType::fat32 || fsType == FsType::exfat ? 4 : 2;
}

// The raw entry of `cluster` from `bytes`, whose byte `offset` is the entry's
// first (FatEntryOffset): an even FAT12 cluster keeps the low 12 bits of the
// word there, an odd one the high 12. Bytes past the end read as 0.
constexpr std::uint32_t FatEntryAt(Bytes bytes, std::size_t offset, std::uint64_t cluster, FsType fsType) {
  switch (fsType) {
    case FsType::fat12: {
      const std::uint32_t word = u16le(bytes, offset);
      return cluster % 2 == 0 ? word & 0x0FFF : word >> 4;
    }
    case FsType::fat32:
    case FsType::exfat: return u32le(bytes, offset);
    default: return u16le(bytes, offset);
  }
}

}  // namespace salvex
