#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/le_bytes.h"

namespace salvex {

// An MFT file record is 1024 bytes: two sectors.
inline constexpr std::size_t kMftRecordSize = 1024;

namespace ntfs {
inline constexpr std::uint32_t kAttributeList = 0x20;
inline constexpr std::uint32_t kFileName = 0x30;
inline constexpr std::uint32_t kData = 0x80;
inline constexpr std::uint32_t kIndexRoot = 0x90;
inline constexpr std::uint32_t kIndexAllocation = 0xA0;
inline constexpr std::uint32_t kEndOfAttributes = 0xFFFFFFFF;

// File-name namespaces. Names are looked for as Win32, Win32-and-DOS, DOS,
// and only then POSIX: Windows writes one of the first three, but the Linux
// NTFS driver gives new files a POSIX name alone.
inline constexpr std::uint8_t kPosix = 0;
inline constexpr std::uint8_t kWin32 = 1;
inline constexpr std::uint8_t kDos = 2;
inline constexpr std::uint8_t kWin32AndDos = 3;
inline constexpr std::uint8_t kNameSpaceOrder[] = {kWin32, kWin32AndDos, kDos, kPosix};
}  // namespace ntfs

// Record flags at offset 22: bit 0 in use, bit 1 folder.
constexpr bool IsFolderRecord(std::uint8_t flags) { return flags == 2 || flags == 3; }
constexpr bool IsFileRecord(Bytes record) { return HasText(record, 0, "FILE"); }

struct FileNameInfo {
  std::string name;  // UTF-8, from whole UTF-16 units
  std::uint32_t parentRecord = 0;
  std::uint64_t created = 0;
  std::uint64_t changed = 0;
};

// The record's unnamed file-name attribute in `nameSpace`.
std::optional<FileNameInfo> FindFileName(Bytes record, std::uint8_t nameSpace);

// The record's name in the first name space of ntfs::kNameSpaceOrder it has.
std::optional<FileNameInfo> FindPreferredFileName(Bytes record);

// The size of the record's unnamed data (`stream` "") or of its data stream
// named `stream`: the data size of a non-resident attribute, the value
// length of a resident one.
std::optional<std::uint64_t> FindDataSize(Bytes record, std::string_view stream = {});

// The most named data streams listed for one record.
inline constexpr std::size_t kMaxDataStreams = 64;

// The names of the record's named data attributes (its alternate data
// streams), each once, in record order, at most kMaxDataStreams. Names that
// begin with '$' are NTFS's own (a journal, the bad-cluster map) and left out.
std::vector<std::string> FindDataStreamNames(Bytes record);

// The folder's own record number as the first entry of its "$I30" index root
// names it (the parent of its children), or 0.
std::uint32_t FindIndexRootOwner(Bytes record);

// The first cluster of the folder's "$I30" index allocation, or 0.
std::uint32_t FindIndexAllocationStart(Bytes record);

// The most records an attribute list is followed into, the record itself
// included: far more than any real file needs.
inline constexpr std::size_t kMaxAttributeListRecords = 50;

// The records that hold this record's attributes, from its resident
// attribute list: the record itself first, then each listed one, at most
// kMaxAttributeListRecords.
std::vector<std::uint32_t> CollectAttributeListRecords(Bytes record, std::uint32_t recordNumber);

enum class DataKind { none = 0, resident = 1, nonResident = 2 };

struct DataAttribute {
  DataKind kind = DataKind::none;
  std::size_t offset = 0;      // of the attribute in the record
  bool compressed = false;     // the clusters hold compressed data, not the file's bytes
  bool encrypted = false;
};

// The record's unnamed data attribute (named streams before it are
// skipped), or its data stream named `stream`.
DataAttribute FindDataAttribute(Bytes record, std::string_view stream = {});

}  // namespace salvex
