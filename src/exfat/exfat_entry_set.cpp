#include "exfat/exfat_entry_set.h"

#include <algorithm>

#include "common/utf.h"

namespace salvex {
namespace {

using namespace exfat_entry;

// Type bits 6 and 5: a secondary entry has TypeCategory 1 (bit 6 set).
constexpr std::uint8_t kCategoryBits = 0x40;

// File entry fields, by offset.
constexpr std::size_t kSecondaryCount = 1;
constexpr std::size_t kSetChecksum = 2;
constexpr std::size_t kFileAttributes = 4;
constexpr std::size_t kCreateTimestamp = 8;
constexpr std::size_t kModifiedTimestamp = 12;
constexpr std::size_t kAccessedTimestamp = 16;
constexpr std::size_t kCreate10ms = 20;
constexpr std::size_t kModified10ms = 21;
// Stream Extension fields.
constexpr std::size_t kSecondaryFlags = 1;
constexpr std::size_t kNameLength = 3;
constexpr std::size_t kValidDataLength = 8;
// File Name and Volume Label entries.
constexpr std::size_t kNameUnits = 2;
constexpr std::size_t kUnitsPerNameEntry = 15;
constexpr std::size_t kLabelCount = 1;

// A stream and 17 name entries carry the longest name, 255 units.
constexpr std::size_t kMinSecondaries = 2;
constexpr std::size_t kMaxSecondaries = 18;

bool IsSecondaryType(std::uint8_t type, bool deleted) {
  return (type & kCategoryBits) != 0 && ((type & kInUse) != 0) == !deleted;
}

std::uint8_t LiveType(std::uint8_t type) { return static_cast<std::uint8_t>(type | kInUse); }

std::string DecodeUnits(Bytes bytes, std::size_t offset, std::size_t count) {
  std::u16string units;
  units.reserve(count);
  for (std::size_t i = 0; i < count; ++i) units.push_back(static_cast<char16_t>(u16le(bytes, offset + 2 * i)));
  return Utf16ToUtf8(units);
}

}  // namespace

std::uint16_t ExfatSetChecksum(Bytes entries, bool restoreInUse) {
  std::uint16_t sum = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i == kSetChecksum || i == kSetChecksum + 1) continue;
    std::uint8_t byte = entries[i];
    if (restoreInUse && i % kExfatEntrySize == 0) byte = LiveType(byte);
    sum = static_cast<std::uint16_t>(((sum & 1) != 0 ? 0x8000u : 0u) + (sum >> 1) + byte);
  }
  return sum;
}

ExfatSetDecode DecodeExfatEntrySet(Bytes directory, std::size_t offset) {
  const Bytes file = Slice(directory, offset, kExfatEntrySize);
  const bool deleted = (u8(file, 0) & kInUse) == 0;
  const std::size_t secondaries = u8(file, kSecondaryCount);
  if (secondaries < kMinSecondaries || secondaries > kMaxSecondaries) {
    return {std::nullopt, ExfatSetRejection::badSecondaryCount};
  }
  const Bytes entries = Slice(directory, offset, (secondaries + 1) * kExfatEntrySize);
  if (entries.empty()) return {std::nullopt, ExfatSetRejection::truncated};
  const Bytes stream = entries.subspan(kExfatEntrySize, kExfatEntrySize);
  if ((u8(stream, 0) & ~kInUse & 0xFF) != (kStreamExtension & ~kInUse & 0xFF)) {
    return {std::nullopt, ExfatSetRejection::noStream};
  }
  for (std::size_t i = 1; i <= secondaries; ++i) {
    const std::uint8_t type = u8(entries, i * kExfatEntrySize);
    if ((type & kCategoryBits) == 0) return {std::nullopt, ExfatSetRejection::notSecondary};
    if (!IsSecondaryType(type, deleted)) return {std::nullopt, ExfatSetRejection::mixedState};
  }
  const std::size_t nameLength = u8(stream, kNameLength);
  const std::size_t nameEntries = (nameLength + kUnitsPerNameEntry - 1) / kUnitsPerNameEntry;
  if (nameLength == 0 || nameEntries > secondaries - 1) return {std::nullopt, ExfatSetRejection::badNameLength};
  for (std::size_t i = 0; i < nameEntries; ++i) {
    if (LiveType(u8(entries, (2 + i) * kExfatEntrySize)) != kFileName) {
      return {std::nullopt, ExfatSetRejection::badNameLength};
    }
  }

  ExfatEntrySet set;
  set.offset = offset;
  set.entryCount = secondaries + 1;
  set.deleted = deleted;
  const std::uint16_t stored = u16le(file, kSetChecksum);
  set.checksumOk = ExfatSetChecksum(entries) == stored || (deleted && ExfatSetChecksum(entries, true) == stored);
  std::u16string units;
  units.reserve(nameLength);
  for (std::size_t i = 0; i < nameLength; ++i) {
    const std::size_t entry = (2 + i / kUnitsPerNameEntry) * kExfatEntrySize;
    units.push_back(static_cast<char16_t>(u16le(entries, entry + kNameUnits + 2 * (i % kUnitsPerNameEntry))));
  }
  set.name = Utf16ToUtf8(units);
  set.attributes = u16le(file, kFileAttributes);
  set.created = u32le(file, kCreateTimestamp);
  set.modified = u32le(file, kModifiedTimestamp);
  set.accessed = u32le(file, kAccessedTimestamp);
  set.created10ms = u8(file, kCreate10ms);
  set.modified10ms = u8(file, kModified10ms);
  set.secondaryFlags = u8(stream, kSecondaryFlags);
  set.validDataLength = u64le(stream, kValidDataLength);
  set.firstCluster = u32le(stream, kFirstCluster);
  set.dataLength = u64le(stream, kDataLength);
  return {std::move(set), ExfatSetRejection::none};
}

ExfatDirectoryContents DecodeExfatDirectory(Bytes directory, bool withDeleted) {
  ExfatDirectoryContents contents;
  const std::size_t count = directory.size() / kExfatEntrySize;
  for (std::size_t index = 0; index < count;) {
    const std::size_t offset = index * kExfatEntrySize;
    const Bytes entry = directory.subspan(offset, kExfatEntrySize);
    const std::uint8_t type = entry[0];
    if (type == kEndOfDirectory) {
      contents.endSeen = true;
      break;
    }
    if (LiveType(type) == kFile && (withDeleted || type == kFile)) {
      ExfatSetDecode decoded = DecodeExfatEntrySet(directory, offset);
      if (decoded.set) {
        index += decoded.set->entryCount;
        contents.sets.push_back(std::move(*decoded.set));
        continue;
      }
    } else if (type == kAllocationBitmap && !contents.bitmap) {
      contents.bitmap = ExfatBitmapEntry{u32le(entry, kFirstCluster), u64le(entry, kDataLength)};
    } else if (type == kVolumeLabel) {
      contents.label = DecodeUnits(entry, kNameUnits, std::min<std::size_t>(u8(entry, kLabelCount), kMaxLabelUnits));
    }
    // A set that could not be decoded may hide a sound one in its entries.
    ++index;
  }
  return contents;
}

}  // namespace salvex
