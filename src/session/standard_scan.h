#pragma once

#include "volume/volume_context.h"
#include "items/folder_tree.h"
#include "items/item_store.h"

namespace salvex {

enum class StandardScanOutcome {
  completed,
  stopped,         // Stop during the walk: the items found so far are kept
  abortedByUser,   // Stop while the geometry was being calculated
  notPossible,     // neither the boot sector nor the directories gave a geometry
};

inline constexpr const char* kCalculatingParameters = "Calculating partition parameters";
inline constexpr const char* kAbortedByUserMessage = "Recovery procedure aborted by user";
inline constexpr const char* kStandardScanNotPossibleMessage =
    "Recovery is not possible in Standard scan, use Advance scan";
inline constexpr const char* kNtfsLargeRecordsMessage =
    "This NTFS volume keeps file records of other than 1024 bytes (it was formatted with sectors of more than "
    "512 bytes): this version does not read it";

// The Standard Scan of the chosen partition: the geometry from the boot
// sector (for FAT also inferred from the directories when it is damaged);
// then the FAT directory walk or the NTFS record scan, and the folder tree
// under `rootNode`. Failures are shown as error boxes through the UI port.
StandardScanOutcome RunStandardScan(VolumeContext& context, ItemStore& store, FolderTreeSink& tree,
                                    TreeNodeId rootNode);

// The scan's two phases, for a caller that changes its window between them.
// First the geometry: `completed` when it is known, else why not (the error
// box has been shown).
StandardScanOutcome FindVolumeGeometry(VolumeContext& context);
// Then the walk of the volume and its folder tree: `completed` or `stopped`.
StandardScanOutcome WalkVolume(VolumeContext& context, ItemStore& store, FolderTreeSink& tree, TreeNodeId rootNode);

}  // namespace salvex
