#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/sector.h"
#include "platform/memory_disk_source.h"

namespace salvex::testing {

// A disk crafted byte by byte, for the damage no tool makes.
class ByteImage {
 public:
  explicit ByteImage(std::uint64_t sectors) : bytes_(sectors * kSectorSize, 0) {}

  std::vector<std::uint8_t>& Bytes() { return bytes_; }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  std::uint64_t SectorCount() const { return bytes_.size() / kSectorSize; }
  std::span<std::uint8_t> Sector(std::uint64_t sector) {
    return std::span(bytes_).subspan(sector * kSectorSize, kSectorSize);
  }

  void Put8(std::uint64_t offset, std::uint8_t value) { bytes_.at(offset) = value; }
  void Put16(std::uint64_t offset, std::uint16_t value);
  void Put32(std::uint64_t offset, std::uint32_t value);
  void PutBytes(std::uint64_t offset, std::span<const std::uint8_t> data);
  void PutText(std::uint64_t offset, std::string_view text);
  void FillSector(std::uint64_t sector, std::uint8_t value);

  // The 0x55 0xAA signature at the end of a sector.
  void PutBootSignature(std::uint64_t sector);
  // Entry `index` (0-3) of the partition table in `tableSector`.
  void PutPartitionEntry(std::uint64_t tableSector, int index, std::uint8_t type, std::uint32_t firstSector,
                         std::uint32_t sectorCount);

  std::unique_ptr<MemoryDiskSource> Source() const { return std::make_unique<MemoryDiskSource>(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
};

using EntryBytes = std::array<std::uint8_t, 32>;

// A DOS date.
constexpr std::uint16_t DosDate(int year, int month, int day) {
  return static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}

struct ShortEntryFields {
  std::string name11;  // 8 + 3 bytes, space padded; bytes may be any value
  std::uint8_t attributes = 0x20;
  std::uint32_t firstCluster = 0;
  std::uint32_t size = 0;
  std::uint16_t writeDate = DosDate(2020, 6, 15);
  std::uint16_t accessDate = DosDate(2021, 7, 16);
  std::uint8_t caseFlags = 0;
};

EntryBytes MakeShortEntry(const ShortEntryFields& fields);

// The long-name entries of `name` in disk order (the last part first, with
// the 0x40 flag), as they stand before the short entry whose 11 name bytes
// are `shortName11` (before a deletion marked them): each part carries their
// checksum.
std::vector<EntryBytes> MakeLongNameEntries(std::u16string_view name, std::string_view shortName11,
                                            bool deleted = false);

}  // namespace salvex::testing
