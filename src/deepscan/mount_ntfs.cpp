#include "deepscan/mount.h"
#include "ntfs/ntfs_scan.h"
#include "ntfs/volume_extent.h"

namespace salvex {
namespace {

constexpr std::uint32_t kRootRecord = 5;

// The file records that lie inside the file system, after its first sector
// and not after its last.
void AddFilesInside(MountContext& context) {
  const VolumeParameters& volume = context.volume.volume;
  const std::uint64_t volumeBytes =
      NtfsVolumeClusters(volume, LastVolumeSector(volume, context.volume.scan)) * volume.sectorsPerCluster * kSectorSize;
  for (const MftFileHit& hit : context.state.hits.mftFiles) {
    if (hit.sector <= volume.clusterBase || hit.sector > volume.volumeEnd) continue;
    // A damaged record may claim any size; the extraction finds whether its
    // runs stay inside.
    const bool beyondVolume = volumeBytes != 0 && hit.size > volumeBytes;
    context.store.AddNtfsFile(hit.sector, hit.name, 0, hit.parentRecord, hit.created, hit.changed,
                              beyondVolume ? volumeBytes : hit.size, hit.deleted, false, beyondVolume);
    ++context.store.counters.fileCount;
  }
}

}  // namespace

bool MountNtfs(MountContext& context) {
  VolumeContext& volume = context.volume;
  UiPort& ui = volume.ui;
  ItemStore& store = context.store;
  store.ClearNtfsItems();
  ui.SetStatus("Extracting entries for the file system");
  const std::uint16_t ordinal = volume.volume.foundFsOrdinal;
  // One folder per record number, the record in use first: an old, freed
  // copy of a record found elsewhere on the disk never hides the live one.
  for (const bool deleted : {false, true}) {
    for (const MftFolderHit& hit : context.state.hits.mftFolders) {
      if (hit.candidate != ordinal || hit.recordNumber == kRootRecord || hit.name == "." ||
          hit.deleted != deleted) {
        continue;
      }
      store.AddNtfsFolder(hit.name, hit.recordNumber, hit.parentRecord, hit.created, hit.changed, 0, hit.deleted,
                          true);
    }
  }
  std::uint32_t lostFolders = 0;
  LinkLostNtfsFolders(store, volume.scan, ui, lostFolders);
  AddFilesInside(context);
  ui.SetStatus("Creating Tree Structure");
  BuildNtfsFolderTree(store, context.tree, ui, context.treeRoot);
  ui.SetProgress(0);
  ui.ShowProgress(false);
  ui.SetStatus("");
  return true;
}

}  // namespace salvex
