#include "support/byte_image.h"

#include <algorithm>

#include "fat/long_name.h"

namespace salvex::testing {

void ByteImage::Put16(std::uint64_t offset, std::uint16_t value) {
  Put8(offset, static_cast<std::uint8_t>(value));
  Put8(offset + 1, static_cast<std::uint8_t>(value >> 8));
}

void ByteImage::Put32(std::uint64_t offset, std::uint32_t value) {
  Put16(offset, static_cast<std::uint16_t>(value));
  Put16(offset + 2, static_cast<std::uint16_t>(value >> 16));
}

void ByteImage::PutBytes(std::uint64_t offset, std::span<const std::uint8_t> data) {
  std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
}

void ByteImage::PutText(std::uint64_t offset, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) Put8(offset + i, static_cast<std::uint8_t>(text[i]));
}

void ByteImage::FillSector(std::uint64_t sector, std::uint8_t value) {
  std::fill_n(bytes_.begin() + static_cast<std::ptrdiff_t>(sector * kSectorSize), kSectorSize, value);
}

void ByteImage::PutBootSignature(std::uint64_t sector) {
  Put8(sector * kSectorSize + 510, 0x55);
  Put8(sector * kSectorSize + 511, 0xAA);
}

void ByteImage::PutPartitionEntry(std::uint64_t tableSector, int index, std::uint8_t type, std::uint32_t firstSector,
                                  std::uint32_t sectorCount) {
  const std::uint64_t entry = tableSector * kSectorSize + 446 + static_cast<std::uint64_t>(index) * 16;
  Put8(entry + 4, type);
  Put32(entry + 8, firstSector);
  Put32(entry + 12, sectorCount);
}

EntryBytes MakeShortEntry(const ShortEntryFields& fields) {
  EntryBytes entry{};
  for (std::size_t i = 0; i < 11; ++i) {
    entry[i] = i < fields.name11.size() ? static_cast<std::uint8_t>(fields.name11[i]) : ' ';
  }
  const auto put16 = [&](std::size_t offset, std::uint32_t value) {
    entry[offset] = static_cast<std::uint8_t>(value);
    entry[offset + 1] = static_cast<std::uint8_t>(value >> 8);
  };
  entry[11] = fields.attributes;
  entry[12] = fields.caseFlags;
  put16(18, fields.accessDate);
  put16(20, fields.firstCluster >> 16);
  put16(24, fields.writeDate);
  put16(26, fields.firstCluster & 0xFFFF);
  put16(28, fields.size & 0xFFFF);
  put16(30, fields.size >> 16);
  return entry;
}

std::vector<EntryBytes> MakeLongNameEntries(std::u16string_view name, std::string_view shortName11, bool deleted) {
  EntryBytes shortEntry{};
  for (std::size_t i = 0; i < 11; ++i) shortEntry[i] = static_cast<std::uint8_t>(i < shortName11.size() ? shortName11[i] : ' ');
  const std::uint8_t checksum = ShortNameChecksum(shortEntry);
  static constexpr std::size_t kUnitOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  const std::size_t count = (name.size() + 12) / 13;
  std::vector<EntryBytes> entries;
  for (std::size_t part = count; part-- > 0;) {
    EntryBytes entry{};
    std::uint8_t sequence = static_cast<std::uint8_t>(part + 1);
    if (part + 1 == count) sequence |= 0x40;
    entry[0] = deleted ? 0xE5 : sequence;
    entry[11] = 0x0F;
    entry[13] = checksum;
    for (std::size_t i = 0; i < 13; ++i) {
      const std::size_t at = part * 13 + i;
      // After the name: one 0x0000 unit, then 0xFFFF padding.
      const char16_t unit = at < name.size() ? name[at] : at == name.size() ? u'\0' : u'\xFFFF';
      entry[kUnitOffsets[i]] = static_cast<std::uint8_t>(unit);
      entry[kUnitOffsets[i] + 1] = static_cast<std::uint8_t>(unit >> 8);
    }
    entries.push_back(entry);
  }
  return entries;
}

}  // namespace salvex::testing
