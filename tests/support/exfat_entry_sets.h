#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace salvex::testing {

// The bytes of exFAT's directory entries, checksums and name hashes, for the
// test volume writer. Pure functions of their arguments.

inline constexpr std::size_t kExfatEntryBytes = 32;
inline constexpr std::size_t kExfatNameUnitsPerEntry = 15;
inline constexpr std::size_t kExfatMaxNameUnits = 255;

// Entry types; bit 7 set means in use, and deleting clears it.
inline constexpr std::uint8_t kExfatAllocationBitmap = 0x81;
inline constexpr std::uint8_t kExfatUpcaseTable = 0x82;
inline constexpr std::uint8_t kExfatFile = 0x85;
inline constexpr std::uint8_t kExfatStreamExtension = 0xC0;
inline constexpr std::uint8_t kExfatFileName = 0xC1;
inline constexpr std::uint8_t kExfatInUse = 0x80;
// Not in use and of no kind: what fills the slots skipped before a set.
inline constexpr std::uint8_t kExfatUnused = 0x01;

// UTF-8 to UTF-16, with surrogate pairs above U+FFFF; throws on bad UTF-8.
std::u16string Utf16FromUtf8(const std::string& text);

// The 65,536-character map from the up-case table's bytes. The table is
// compressed: 0xFFFF followed by a count maps that many characters to
// themselves; characters the table does not reach map to themselves too.
std::vector<char16_t> ExpandUpcaseTable(std::span<const std::uint8_t> table);

// Rotate right by one and add, over the up-cased name's UTF-16 bytes, low
// byte first.
std::uint16_t ExfatNameHash(const std::u16string& name, const std::vector<char16_t>& upcase);

// Rotate right by one and add over every byte of an entry set, except the
// first entry's checksum field (bytes 2 and 3).
std::uint16_t ExfatEntrySetChecksum(std::span<const std::uint8_t> set);

// The 32-bit checksum of a boot region: over its first 11 sectors, skipping
// VolumeFlags (bytes 106-107) and PercentInUse (byte 112) of sector 0.
std::uint32_t ExfatBootChecksum(std::span<const std::uint8_t> firstElevenSectors);

// What a File entry, its Stream Extension and its File Name entries hold.
struct ExfatEntrySet {
  std::u16string name;
  std::uint16_t nameHash = 0;
  std::uint16_t attributes = 0;  // 0x10 folder, 0x20 archive
  std::uint32_t timestamp = 0;   // FAT-style date << 16 | time, local = UTC
  bool noFatChain = false;
  std::uint32_t firstCluster = 0;  // 0 when nothing is allocated
  std::uint64_t validDataLength = 0;
  std::uint64_t dataLength = 0;
};

// Entries needed: File, Stream Extension and one File Name per 15 units.
std::size_t ExfatEntryCount(const std::u16string& name);

// The whole set, its checksum filled in.
std::vector<std::uint8_t> EncodeExfatEntrySet(const ExfatEntrySet& set);

}  // namespace salvex::testing
