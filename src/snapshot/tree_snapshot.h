#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/le_bytes.h"
#include "disk/scan_state.h"
#include "volume/volume_parameters.h"
#include "items/item_store.h"
#include "snapshot/snapshot_range.h"

namespace salvex {

inline constexpr const char* kTreeSnapshotExtension = ".RSNP";
inline constexpr const char* kUnableToOpenMessage = "Unable to open the file";
inline constexpr const char* kVersionMismatchMessage =
    "              version of file does not match with current version 1.0";

// A tree snapshot read back: everything is checked before any state changes.
struct TreeSnapshot {
  SectorRange range;
  VolumeParameters volume;  // rootDirStart is not stored
  std::vector<FatFolderItem> folders;
  std::vector<FatFileItem> files;
};

// Whether a snapshot of this file system holds folder and file records
// (NTFS snapshots hold the volume alone).
bool HoldsFatRecords(FsType type);

// The ".RSNP" file of a scan: range, volume parameters and, for FAT and
// exFAT, every folder and file of the store (exFAT's files with their 64-bit
// sizes, valid data lengths and cluster runs after the file records).
// Version "1.0" holds 32-bit sector numbers and is written whenever they
// fit; "2.0", the same with 64-bit ones, for a volume past 2 TiB. "1.1" and
// "2.1" are those with the files a search by content found (their extents
// and marks) after the records, written only when the store holds some;
// such a snapshot may be of no volume at all (a whole disk searched).
std::vector<std::uint8_t> EncodeTreeSnapshot(const ScanState& scan, const VolumeParameters& volume,
                                             const ItemStore& store);

// Reads a tree snapshot; throws SnapshotError with the message to show when
// the file is not one (a wrong magic quotes the bytes read, control
// characters escaped), names a file system no scan makes, or is damaged.
TreeSnapshot DecodeTreeSnapshot(Bytes file);

// How many bytes from a file's start tell whether it is a tree snapshot.
inline constexpr std::size_t kTreeSnapshotHeadBytes = 10;
// Throws as DecodeTreeSnapshot does when a file beginning with `head` is not
// a tree snapshot: checked before the rest is read.
void CheckTreeSnapshotHead(Bytes head);

// Replaces the range, the volume parameters (but rootDirStart) and the
// store with the snapshot's. Folders with the same first cluster merge, and
// files are numbered again in file order.
void ApplyTreeSnapshot(const TreeSnapshot& snapshot, ScanState& scan, VolumeParameters& volume, ItemStore& store);

}  // namespace salvex
