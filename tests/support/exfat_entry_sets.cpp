#include "support/exfat_entry_sets.h"

#include <stdexcept>

namespace salvex::testing {
namespace {

void Put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  Put16(bytes, at, static_cast<std::uint16_t>(value & 0xFFFF));
  Put16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

void Put64(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value) {
  Put32(bytes, at, static_cast<std::uint32_t>(value & 0xFFFFFFFF));
  Put32(bytes, at + 4, static_cast<std::uint32_t>(value >> 32));
}

std::uint16_t RotateAdd16(std::uint16_t sum, std::uint8_t byte) {
  return static_cast<std::uint16_t>(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + byte);
}

// File entry fields.
constexpr std::size_t kSecondaryCount = 1;
constexpr std::size_t kSetChecksum = 2;
constexpr std::size_t kFileAttributes = 4;
constexpr std::size_t kCreateTimestamp = 8;
constexpr std::size_t kModifiedTimestamp = 12;
constexpr std::size_t kAccessedTimestamp = 16;
constexpr std::size_t kCreateUtcOffset = 22;
constexpr std::size_t kModifiedUtcOffset = 23;
constexpr std::size_t kAccessedUtcOffset = 24;
// Stream Extension fields.
constexpr std::size_t kGeneralSecondaryFlags = 1;
constexpr std::size_t kNameLength = 3;
constexpr std::size_t kNameHash = 4;
constexpr std::size_t kValidDataLength = 8;
constexpr std::size_t kFirstCluster = 20;
constexpr std::size_t kDataLength = 24;
constexpr std::uint8_t kAllocationPossible = 0x01;
constexpr std::uint8_t kNoFatChain = 0x02;
// File Name entry: the UTF-16 units from byte 2.
constexpr std::size_t kFileNameUnits = 2;
// Offset valid (bit 7) with an offset of zero quarter-hours: UTC.
constexpr std::uint8_t kUtc = 0x80;

}  // namespace

std::u16string Utf16FromUtf8(const std::string& text) {
  std::u16string units;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) throw std::invalid_argument("not UTF-8: " + text);
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) throw std::invalid_argument("not UTF-8: " + text);
      code = (code << 6) | (next & 0x3F);
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      units += static_cast<char16_t>(0xD800 + (code >> 10));
      units += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      units += static_cast<char16_t>(code);
    }
    i += length;
  }
  return units;
}

std::vector<char16_t> ExpandUpcaseTable(std::span<const std::uint8_t> table) {
  std::vector<char16_t> map(0x10000);
  for (std::size_t c = 0; c < map.size(); ++c) map[c] = static_cast<char16_t>(c);
  std::size_t next = 0;
  for (std::size_t at = 0; at + 1 < table.size() && next < map.size(); at += 2) {
    const auto unit = static_cast<char16_t>(table[at] | (table[at + 1] << 8));
    if (unit == 0xFFFF && at + 3 < table.size()) {
      at += 2;
      next += static_cast<std::size_t>(table[at] | (table[at + 1] << 8));
    } else {
      map[next++] = unit;
    }
  }
  return map;
}

std::uint16_t ExfatNameHash(const std::u16string& name, const std::vector<char16_t>& upcase) {
  std::uint16_t hash = 0;
  for (const char16_t unit : name) {
    const char16_t upper = upcase.size() == 0x10000 ? upcase[unit] : unit;
    hash = RotateAdd16(hash, static_cast<std::uint8_t>(upper & 0xFF));
    hash = RotateAdd16(hash, static_cast<std::uint8_t>(upper >> 8));
  }
  return hash;
}

std::uint16_t ExfatEntrySetChecksum(std::span<const std::uint8_t> set) {
  std::uint16_t sum = 0;
  for (std::size_t i = 0; i < set.size(); ++i) {
    if (i == kSetChecksum || i == kSetChecksum + 1) continue;
    sum = RotateAdd16(sum, set[i]);
  }
  return sum;
}

std::uint32_t ExfatBootChecksum(std::span<const std::uint8_t> firstElevenSectors) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < firstElevenSectors.size(); ++i) {
    if (i == 106 || i == 107 || i == 112) continue;
    sum = ((sum & 1) ? 0x80000000u : 0) + (sum >> 1) + firstElevenSectors[i];
  }
  return sum;
}

std::size_t ExfatEntryCount(const std::u16string& name) {
  return 2 + (name.size() + kExfatNameUnitsPerEntry - 1) / kExfatNameUnitsPerEntry;
}

std::vector<std::uint8_t> EncodeExfatEntrySet(const ExfatEntrySet& set) {
  if (set.name.empty() || set.name.size() > kExfatMaxNameUnits) throw std::invalid_argument("bad exFAT name length");
  const std::size_t count = ExfatEntryCount(set.name);
  std::vector<std::uint8_t> bytes(count * kExfatEntryBytes, 0);

  bytes[0] = kExfatFile;
  bytes[kSecondaryCount] = static_cast<std::uint8_t>(count - 1);
  Put16(bytes, kFileAttributes, set.attributes);
  Put32(bytes, kCreateTimestamp, set.timestamp);
  Put32(bytes, kModifiedTimestamp, set.timestamp);
  Put32(bytes, kAccessedTimestamp, set.timestamp);
  bytes[kCreateUtcOffset] = bytes[kModifiedUtcOffset] = bytes[kAccessedUtcOffset] = kUtc;

  const std::size_t stream = kExfatEntryBytes;
  bytes[stream] = kExfatStreamExtension;
  bytes[stream + kGeneralSecondaryFlags] = static_cast<std::uint8_t>(kAllocationPossible | (set.noFatChain ? kNoFatChain : 0));
  bytes[stream + kNameLength] = static_cast<std::uint8_t>(set.name.size());
  Put16(bytes, stream + kNameHash, set.nameHash);
  Put64(bytes, stream + kValidDataLength, set.validDataLength);
  Put32(bytes, stream + kFirstCluster, set.firstCluster);
  Put64(bytes, stream + kDataLength, set.dataLength);

  for (std::size_t unit = 0; unit < set.name.size(); ++unit) {
    const std::size_t entry = (2 + unit / kExfatNameUnitsPerEntry) * kExfatEntryBytes;
    bytes[entry] = kExfatFileName;
    Put16(bytes, entry + kFileNameUnits + 2 * (unit % kExfatNameUnitsPerEntry), set.name[unit]);
  }
  Put16(bytes, kSetChecksum, ExfatEntrySetChecksum(bytes));
  return bytes;
}

}  // namespace salvex::testing
