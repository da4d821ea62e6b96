#pragma once

#include <cstdint>
#include <vector>

#include "common/le_bytes.h"
#include "deepscan/hits.h"
#include "snapshot/tree_snapshot.h"

namespace salvex {

inline constexpr const char* kAdvanceSnapshotExtension = ".RS2";
inline constexpr const char* kFileCreationErrorMessage =
    "      File Creation Error, check for enough space or file system corruption";

struct AdvanceSnapshot {
  SectorRange range;
  HitLists hits;
};

// The ".RS2" file of an Advance Scan: range, boot-sector hits, then the FAT
// folder-cluster hits, or (for an NTFS range) the index-block, MFT folder and
// MFT file hits. For an exFAT range the (empty) folder-cluster list is
// followed by the file count, the folders' entry sets, and the sectors of
// directory starts, root directories and entry sets; a file that ends
// before them (saved when only the boot sectors were kept) still loads.
// Sector numbers are 32-bit under the header "Brimora Salvex 4.03",
// written whenever they fit, and 64-bit under "Brimora Salvex 5.00".
std::vector<std::uint8_t> EncodeAdvanceSnapshot(const ScanState& scan, const HitLists& hits);

// Reads an advance-scan snapshot back, checking every count and length
// against the file; throws SnapshotError when it is not one or is damaged.
// The hits come back unclassified and in ascending sector order, as a sweep
// leaves them, so the classification can run on them again.
AdvanceSnapshot DecodeAdvanceSnapshot(Bytes file);

// How many bytes from a file's start tell whether it is an advance-scan
// snapshot, and the check on them, made before the rest is read.
inline constexpr std::size_t kAdvanceSnapshotHeadBytes = 19;
void CheckAdvanceSnapshotHead(Bytes head);

}  // namespace salvex
