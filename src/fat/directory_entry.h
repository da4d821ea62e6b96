#pragma once

#include <cstdint>
#include <string>

#include "common/le_bytes.h"
#include "common/sector.h"

namespace salvex {

// What the volume allows, to tell a directory entry from random bytes read
// as one. A zero means "unknown": that check is skipped.
struct EntryLimits {
  std::uint32_t lastCluster = 0;
  std::uint64_t dataAreaBytes = 0;
};

enum class EntryVerdict {
  item,              // a file or folder to add
  endOfDirectory,    // first byte 0
  longNameEntry,     // attribute 0x0F: part of a name, not an item
  noFirstCluster,    // a folder entry without one: ".." of a root child
  implausible,       // see EntryFault
  unacceptableName,
};

enum class EntryFault {
  none,
  reservedAttributeBits,  // 0x40 or 0x80
  volumeLabel,            // attribute 0x08 without clusters: the volume's name, no item
  unknownCaseFlags,       // byte 12 other than the 0x08 and 0x10 lower-case flags
  invalidTime,
  invalidDate,
  clusterBeyondVolume,
  sizeBeyondVolume,
};

struct DirectoryEntry {
  EntryVerdict verdict = EntryVerdict::endOfDirectory;
  EntryFault fault = EntryFault::none;
  std::string name;  // UTF-8; long name when one was found, else the 8.3 name
  std::uint32_t firstCluster = 0;
  bool isFolder = false;
  bool deletedMark = false;  // the entry itself is deleted (first byte 0xE5)
  // FAT32: deleted with a high cluster word of 0, which Windows writes when
  // it deletes a file: firstCluster may lack its high 16 bits.
  bool highWordCleared = false;
  // Attribute 0x08 with a first cluster or a size: not the volume's name
  // alone, so the data it points at is listed as a file's.
  bool labelEntry = false;
  std::uint32_t size = 0;
  std::uint16_t writeDate = 0;
  std::uint16_t writeTime = 0;
  std::uint16_t accessDate = 0;
};

// Decodes entry `index` of a run of consecutive directory entries (one or
// more sectors of a directory), with its long name from the entries before it
// in the run. Inside a directory an entry that names a file is kept whatever
// its times, dates, case or reserved bits hold (real drivers write odd ones):
// only a volume label that holds no clusters, or a cluster or size the volume
// cannot hold, is turned away. A label entry with a first cluster or a size
// is a file (`labelEntry`): data can be hidden there. A file without a first
// cluster is an empty file.
DirectoryEntry DecodeDirectoryEntry(Bytes entries, unsigned index, FsType fsType, const EntryLimits& limits);

// Every check a sector of random bytes is unlikely to pass: for telling
// directory sectors from other data, where no directory vouches for them.
EntryFault CheckEntryPlausibility(Bytes entry, std::uint32_t firstCluster, const EntryLimits& limits);

// The checks an entry of a known directory must pass: no volume label
// without clusters, and a first cluster and size the volume can hold.
EntryFault CheckEntryBounds(Bytes entry, std::uint32_t firstCluster, const EntryLimits& limits);

// Whether a sector starts a folder: its entries 0 and 1 are "." and "..".
bool BeginsWithDotEntries(Bytes sector);

}  // namespace salvex
