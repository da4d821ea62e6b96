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

// A set holds at least its stream entry. SecondaryCount is one byte: name
// entries and vendor entries after them can take it past 18 (a 255-unit
// name takes 17 name entries).
constexpr std::size_t kMinSecondaries = 1;

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
  const std::size_t declared = u8(file, kSecondaryCount);
  if (declared < kMinSecondaries) return {std::nullopt, ExfatSetRejection::badSecondaryCount};
  const Bytes stream = Slice(directory, offset + kExfatEntrySize, kExfatEntrySize);
  if (stream.empty()) return {std::nullopt, ExfatSetRejection::truncated};
  if ((u8(stream, 0) & ~kInUse & 0xFF) != (kStreamExtension & ~kInUse & 0xFF)) {
    return {std::nullopt, ExfatSetRejection::noStream};
  }
  if (!IsSecondaryType(u8(stream, 0), deleted)) return {std::nullopt, ExfatSetRejection::mixedState};
  // The secondary entries that follow, up to the count. A live set whose
  // count passes them (another set follows, or the end mark) is kept with
  // those it has: a live file is never dropped for its entry count alone.
  std::size_t secondaries = 1;
  for (; secondaries < declared; ++secondaries) {
    const std::size_t at = offset + (secondaries + 1) * kExfatEntrySize;
    if (!Fits(directory, at, kExfatEntrySize)) return {std::nullopt, ExfatSetRejection::truncated};
    const std::uint8_t type = directory[at];
    if ((type & kCategoryBits) == 0 || !IsSecondaryType(type, deleted)) {
      if (deleted) {
        return {std::nullopt, (type & kCategoryBits) == 0 ? ExfatSetRejection::notSecondary : ExfatSetRejection::mixedState};
      }
      break;
    }
  }
  const Bytes entries = Slice(directory, offset, (secondaries + 1) * kExfatEntrySize);
  std::size_t nameEntries = 0;
  while (nameEntries + 1 < secondaries && LiveType(u8(entries, (2 + nameEntries) * kExfatEntrySize)) == kFileName) {
    ++nameEntries;
  }
  const std::size_t nameLength = u8(stream, kNameLength);
  const std::size_t unitsHeld = nameEntries * kUnitsPerNameEntry;

  ExfatEntrySet set;
  set.offset = offset;
  set.entryCount = secondaries + 1;
  set.deleted = deleted;
  set.incomplete = secondaries < declared || nameLength == 0 || nameLength > unitsHeld;
  const std::uint16_t stored = u16le(file, kSetChecksum);
  set.checksumOk = secondaries == declared && (ExfatSetChecksum(entries) == stored ||
                                               (deleted && ExfatSetChecksum(entries, true) == stored));
  // A name its length does not fit is taken as far as its entries hold
  // one, up to the first unit 0.
  const std::size_t units = set.incomplete ? unitsHeld : nameLength;
  std::u16string name;
  name.reserve(units);
  for (std::size_t i = 0; i < units; ++i) {
    const std::size_t entry = (2 + i / kUnitsPerNameEntry) * kExfatEntrySize;
    const auto unit = static_cast<char16_t>(u16le(entries, entry + kNameUnits + 2 * (i % kUnitsPerNameEntry)));
    if (set.incomplete && unit == 0) break;
    name.push_back(unit);
  }
  set.name = Utf16ToUtf8(name);
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
