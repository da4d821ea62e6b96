#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/le_bytes.h"

namespace salvex {

// exFAT directory entries are 32 bytes; bit 7 of the type byte says the
// entry is in use. A file or folder is an entry set: a File entry, a Stream
// Extension entry, then File Name entries of 15 UTF-16 units each.
inline constexpr std::size_t kExfatEntrySize = 32;

// The entry types the reader knows, as they are while in use; clearing
// kInUse gives the type a deleted entry keeps.
namespace exfat_entry {
inline constexpr std::uint8_t kInUse = 0x80;
inline constexpr std::uint8_t kEndOfDirectory = 0x00;
inline constexpr std::uint8_t kAllocationBitmap = 0x81;
inline constexpr std::uint8_t kUpcaseTable = 0x82;
inline constexpr std::uint8_t kVolumeLabel = 0x83;
inline constexpr std::uint8_t kFile = 0x85;
inline constexpr std::uint8_t kStreamExtension = 0xC0;
inline constexpr std::uint8_t kFileName = 0xC1;
constexpr std::uint8_t Deleted(std::uint8_t type) { return type & ~kInUse; }
// Where a Stream Extension, an allocation bitmap or an up-case table entry
// keeps its first cluster and its length in bytes.
inline constexpr std::size_t kFirstCluster = 20;
inline constexpr std::size_t kDataLength = 24;
inline constexpr std::size_t kMaxLabelUnits = 11;
}  // namespace exfat_entry

// One file's or folder's entry set, live or deleted, as decoded.
struct ExfatEntrySet {
  std::size_t offset = 0;      // of its File entry, in the directory's bytes
  std::size_t entryCount = 0;  // the File entry and its secondary entries
  bool deleted = false;
  // The set checksum matches (for a deleted set: over its bytes as stored,
  // or with the in-use bits set again, as they were when it was written).
  bool checksumOk = false;
  // Its entries do not agree: no name entry, a name length of 0 or longer
  // than its name entries hold, or (live) fewer secondary entries than its
  // count says. `name` is then what its name entries hold, up to a unit 0.
  bool incomplete = false;
  std::string name;            // UTF-8
  std::uint16_t attributes = 0;
  // Timestamps: the DOS date in the upper 16 bits, the DOS time below.
  std::uint32_t created = 0;
  std::uint32_t modified = 0;
  std::uint32_t accessed = 0;
  std::uint8_t created10ms = 0;
  std::uint8_t modified10ms = 0;
  std::uint8_t secondaryFlags = 0;
  std::uint32_t firstCluster = 0;
  std::uint64_t validDataLength = 0;
  std::uint64_t dataLength = 0;

  bool IsFolder() const { return (attributes & 0x10) != 0; }
  bool AllocationPossible() const { return (secondaryFlags & 0x01) != 0; }
  // Its clusters are consecutive from the first and the FAT holds no chain.
  bool NoFatChain() const { return (secondaryFlags & 0x02) != 0; }
};

// The allocation bitmap entry of the root directory.
struct ExfatBitmapEntry {
  std::uint32_t firstCluster = 0;
  std::uint64_t dataLength = 0;
};

// Why a File entry did not start a usable set.
enum class ExfatSetRejection {
  none,
  truncated,          // its secondary entries pass the end of the directory
  badSecondaryCount,  // no secondary entry: not even a stream
  noStream,           // the first secondary entry is no Stream Extension
  mixedState,         // live and deleted entries in one set (deleted: anywhere; live: its stream)
  notSecondary,       // deleted: an entry its count takes in is no secondary entry
};

struct ExfatSetDecode {
  std::optional<ExfatEntrySet> set;
  ExfatSetRejection rejection = ExfatSetRejection::none;
};

// The 16-bit set checksum over `entries` (a multiple of 32 bytes), leaving
// out the checksum field itself (bytes 2 and 3 of the first entry). With
// `restoreInUse` the type bytes count with bit 7 set.
std::uint16_t ExfatSetChecksum(Bytes entries, bool restoreInUse = false);

// Decodes the entry set whose File entry (0x85, or 0x05 when deleted) is at
// `offset` of `directory`.
ExfatSetDecode DecodeExfatEntrySet(Bytes directory, std::size_t offset);

// Everything one directory's bytes hold, in the order met.
struct ExfatDirectoryContents {
  std::vector<ExfatEntrySet> sets;
  std::optional<ExfatBitmapEntry> bitmap;  // the first allocation bitmap
  std::string label;
  bool endSeen = false;  // an entry of type 0 ended the directory
};

// Walks a directory's bytes entry by entry (a set may cross the clusters
// it is read from). Deleted sets are kept when `withDeleted`. Entries after
// the end-of-directory mark are never read: they were never used.
ExfatDirectoryContents DecodeExfatDirectory(Bytes directory, bool withDeleted);

}  // namespace salvex
