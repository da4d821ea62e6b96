#include "ntfs/mft_record.h"

#include <algorithm>

#include "common/utf.h"

namespace salvex {
namespace {

// Offsets are kept signed and wide: a damaged record can point anywhere.
using Offset = std::int64_t;

constexpr Offset kLastByte = 1023;
constexpr std::uint16_t kCompressionMask = 0x00FF;
constexpr std::uint16_t kEncryptedFlag = 0x4000;

std::uint8_t Byte(Bytes record, Offset at) { return at < 0 ? 0 : u8(record, static_cast<std::size_t>(at)); }
std::uint16_t U16(Bytes record, Offset at) { return at < 0 ? 0 : u16le(record, static_cast<std::size_t>(at)); }
std::int16_t S16(Bytes record, Offset at) { return static_cast<std::int16_t>(U16(record, at)); }
std::uint32_t U32(Bytes record, Offset at) { return at < 0 ? 0 : u32le(record, static_cast<std::size_t>(at)); }
std::uint64_t U64(Bytes record, Offset at) { return at < 0 ? 0 : u64le(record, static_cast<std::size_t>(at)); }

bool EndsAttributes(std::uint32_t type) { return type == 0 || type == ntfs::kEndOfAttributes; }

// "$I30", the name of a folder's file-name index, as low bytes of UTF-16.
bool NamedI30(Bytes record, Offset nameStart) {
  return Byte(record, nameStart) == '$' && Byte(record, nameStart + 2) == 'I' && Byte(record, nameStart + 4) == '3' &&
         Byte(record, nameStart + 6) == '0';
}

// The attribute's name (UTF-8; empty for none), '/' and NUL made '_' as in
// file names, since it becomes part of a host name.
std::string AttributeName(Bytes record, Offset attribute) {
  const std::size_t units = Byte(record, attribute + 9);
  const Offset start = attribute + U16(record, attribute + 10);
  if (units == 0 || start < 0 || !Fits(record, static_cast<std::size_t>(start), units * 2)) return {};
  std::u16string name;
  for (std::size_t i = 0; i < units; ++i) {
    const char16_t unit = U16(record, start + 2 * static_cast<Offset>(i));
    name.push_back(unit == u'/' || unit == 0 ? u'_' : unit);
  }
  return Utf16ToUtf8(name);
}

// The offset of the data attribute named `stream` ("" the unnamed one) in
// the walk of the record's attributes, or -1.
Offset FindDataOffset(Bytes record, std::string_view stream) {
  Offset offset = S16(record, 20);
  while (offset >= 0 && offset < kLastByte) {
    const std::uint32_t type = U32(record, offset);
    if (EndsAttributes(type)) return -1;
    const std::uint32_t length = U32(record, offset + 4);
    if (type == ntfs::kData && (stream.empty() ? Byte(record, offset + 9) == 0 : AttributeName(record, offset) == stream)) {
      return offset;
    }
    // A named stream may run to the record's last byte; other attributes not.
    const std::uint32_t longest = type == ntfs::kData ? 1023 : 1022;
    if (length == 0 || length > longest) return -1;
    offset += length;
  }
  return -1;
}

std::optional<FileNameInfo> ReadFileNameValue(Bytes record, Offset value) {
  const std::size_t units = Byte(record, value + 64);
  if (!Fits(record, static_cast<std::size_t>(value) + 66, units * 2)) return std::nullopt;
  std::u16string name;
  for (std::size_t i = 0; i < units; ++i) name.push_back(U16(record, value + 66 + 2 * static_cast<Offset>(i)));
  // NTFS allows neither '/' nor NUL in a name; a damaged record's would split
  // paths and host names.
  for (char16_t& unit : name) {
    if (unit == u'/' || unit == 0) unit = u'_';
  }
  // Nor an empty one; a damaged record's file still needs a name to be
  // listed and recovered under.
  if (name.empty()) name = u"_";
  FileNameInfo info;
  info.name = Utf16ToUtf8(name);
  info.parentRecord = U32(record, value);
  info.created = U64(record, value + 8);
  info.changed = U64(record, value + 24);
  return info;
}

// A little-endian signed integer of `width` bytes (1 to 8).
std::int64_t SignedField(Bytes record, Offset at, unsigned width) {
  std::uint64_t value = 0;
  for (unsigned i = 0; i < width; ++i) value |= std::uint64_t{Byte(record, at + i)} << (8 * i);
  if (width < 8 && (value >> (8 * width - 1)) & 1) value |= ~std::uint64_t{0} << (8 * width);
  return static_cast<std::int64_t>(value);
}

// The offset of the folder index attribute of `type` named "$I30" (its name
// at `nameStart` within the attribute). `refuseLong` also ends the walk at an
// attribute of 1023 bytes or more, as the allocation's lookup always has.
std::optional<Offset> FindI30Attribute(Bytes record, std::uint32_t type, Offset nameStart, bool refuseLong) {
  Offset offset = S16(record, 20);
  while (offset >= 0 && offset + 3 <= kLastByte) {
    const std::uint32_t found = U32(record, offset);
    if (EndsAttributes(found) || offset + 7 > kLastByte) return std::nullopt;
    const std::uint32_t length = U32(record, offset + 4);
    if (length == 0 || (refuseLong && length >= kLastByte)) return std::nullopt;
    if (found == type && Byte(record, offset + 9) == 4 && NamedI30(record, offset + nameStart)) return offset;
    offset += length;
  }
  return std::nullopt;
}

}  // namespace

std::optional<FileNameInfo> FindFileName(Bytes record, std::uint8_t nameSpace) {
  Offset offset = S16(record, 20);
  if (offset < 0 || offset >= kLastByte) return std::nullopt;
  while (true) {
    const std::uint32_t type = U32(record, offset);
    if (EndsAttributes(type)) return std::nullopt;
    const std::uint32_t length = U32(record, offset + 4);
    if (type == ntfs::kFileName) {
      if (Byte(record, offset + 9) == 0) {
        const Offset value = offset + S16(record, offset + 20);
        if (value < 0 || value > kLastByte) return std::nullopt;
        if (Byte(record, value + 65) == nameSpace) return ReadFileNameValue(record, value);
      }
      if (length == 0 || length > kMftRecordSize) return std::nullopt;
      offset += length;
      if (offset >= static_cast<Offset>(kMftRecordSize)) return std::nullopt;
    } else {
      if (length == 0 || length >= kLastByte) return std::nullopt;
      offset += length;
      if (offset >= kLastByte) return std::nullopt;
    }
  }
}

std::optional<FileNameInfo> FindPreferredFileName(Bytes record) {
  for (const std::uint8_t nameSpace : ntfs::kNameSpaceOrder) {
    if (auto name = FindFileName(record, nameSpace)) return name;
  }
  return std::nullopt;
}

std::optional<std::uint64_t> FindDataSize(Bytes record, std::string_view stream) {
  const Offset offset = FindDataOffset(record, stream);
  if (offset < 0) return std::nullopt;
  return Byte(record, offset + 8) == 1 ? U64(record, offset + 48) : U32(record, offset + 16);
}

std::vector<std::string> FindDataStreamNames(Bytes record) {
  std::vector<std::string> names;
  Offset offset = S16(record, 20);
  while (offset >= 0 && offset < kLastByte && names.size() < kMaxDataStreams) {
    const std::uint32_t type = U32(record, offset);
    if (EndsAttributes(type)) break;
    const std::uint32_t length = U32(record, offset + 4);
    if (type == ntfs::kData && Byte(record, offset + 9) != 0) {
      std::string name = AttributeName(record, offset);
      if (!name.empty() && name[0] != '$' && std::find(names.begin(), names.end(), name) == names.end()) {
        names.push_back(std::move(name));
      }
    }
    const std::uint32_t longest = type == ntfs::kData ? 1023 : 1022;
    if (length == 0 || length > longest) break;
    offset += length;
  }
  return names;
}

std::uint32_t FindIndexRootOwner(Bytes record) {
  const auto offset = FindI30Attribute(record, ntfs::kIndexRoot, 24, false);
  if (!offset) return 0;
  // The first index entry, after the attribute header, name and index headers.
  const Offset entry = *offset + 64;
  // An empty index (a folder emptied before it was deleted) holds only its
  // end entry, 16 bytes whose "name" and "parent" are whatever follows.
  constexpr std::uint8_t kLastEntryFlag = 0x02;
  if (entry >= kLastByte || (Byte(record, entry + 12) & kLastEntryFlag) != 0) return 0;
  if (Byte(record, entry + 80) == 0) return 0;
  const std::uint32_t owner = U32(record, entry + 16);
  return owner == 0xFFFFFFFF ? 0 : owner;
}

std::uint32_t FindIndexAllocationStart(Bytes record) {
  const auto offset = FindI30Attribute(record, ntfs::kIndexAllocation, 64, true);
  if (!offset || *offset >= kLastByte) return 0;
  const Offset runs = *offset + S16(record, *offset + 32);
  if (runs < 0 || runs >= static_cast<Offset>(kMftRecordSize)) return 0;
  const std::uint8_t header = Byte(record, runs);
  const unsigned lengthWidth = header & 0x0F;
  const unsigned offsetWidth = header >> 4;
  if (header == 0 || offsetWidth < 1 || offsetWidth > 4) return 0;
  if (runs + 1 + lengthWidth + offsetWidth > static_cast<Offset>(kMftRecordSize)) return 0;
  return static_cast<std::uint32_t>(SignedField(record, runs + 1 + lengthWidth, offsetWidth));
}

std::vector<std::uint32_t> CollectAttributeListRecords(Bytes record, std::uint32_t recordNumber) {
  std::vector<std::uint32_t> records{recordNumber};
  Offset offset = S16(record, 20);
  while (offset >= 0 && offset <= kLastByte) {
    const std::uint32_t type = U32(record, offset);
    if (EndsAttributes(type)) break;
    const std::uint32_t length = U32(record, offset + 4);
    if (type == ntfs::kAttributeList && Byte(record, offset + 8) == 0) {
      const Offset value = U16(record, offset + 20);
      if (value == 0 || value >= kLastByte || offset + value >= kLastByte) break;
      const Offset end = std::min<Offset>(offset + length, static_cast<Offset>(kMftRecordSize));
      for (Offset entry = offset + value; entry < end && records.size() < kMaxAttributeListRecords;) {
        if (EndsAttributes(U32(record, entry))) break;
        const std::uint32_t holder = U32(record, entry + 16);
        // The base record is listed once for each attribute it keeps itself.
        if (std::find(records.begin(), records.end(), holder) == records.end()) records.push_back(holder);
        const std::uint16_t entryLength = U16(record, entry + 4);
        if (entryLength == 0) break;
        entry += entryLength;
      }
      break;
    }
    if (length == 0 || length > kMftRecordSize) break;
    offset += length;
  }
  return records;
}

DataAttribute FindDataAttribute(Bytes record, std::string_view stream) {
  const Offset offset = FindDataOffset(record, stream);
  if (offset < 0) return {};
  DataAttribute data;
  const std::uint8_t residence = Byte(record, offset + 8);
  if (residence > 1) return data;
  data.kind = residence == 0 ? DataKind::resident : DataKind::nonResident;
  data.offset = static_cast<std::size_t>(offset);
  const std::uint16_t flags = U16(record, offset + 12);
  data.compressed = (flags & kCompressionMask) != 0;
  data.encrypted = (flags & kEncryptedFlag) != 0;
  return data;
}

}  // namespace salvex
