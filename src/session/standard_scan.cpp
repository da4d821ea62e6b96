#include "session/standard_scan.h"

#include "exfat/exfat_walk.h"
#include "fat/calculate_partition_parameters.h"
#include "fat/fat_walk.h"
#include "volume/boot_sector.h"
#include "volume/read_volume_parameters.h"
#include "ntfs/ntfs_scan.h"

namespace salvex {
namespace {

bool ScanFat(VolumeContext& context, ItemStore& store, FolderTreeSink& tree, TreeNodeId rootNode) {
  const bool completed =
      context.volume.fsType == FsType::exfat ? WalkExfatVolume(context, store) : WalkFatVolume(context, store);
  context.ui.SetProgress(0);
  BuildFatFolderTree(store, tree, context.ui, rootNode);
  return completed;
}

bool ScanNtfs(VolumeContext& context, ItemStore& store, FolderTreeSink& tree, TreeNodeId rootNode) {
  UiPort& ui = context.ui;
  MftRunList runList;
  const bool completed = ScanNtfsVolume(context, store, runList);
  std::uint32_t lostFolders = 0;
  LinkLostNtfsFolders(store, context.scan, ui, lostFolders);
  ui.SetProgress(0);
  ui.SetStopVisible(false);
  ui.SetStatus(kCreatingDirectoryTree);
  BuildNtfsFolderTree(store, tree, ui, rootNode);
  ui.SetStatus("");
  return completed;
}

// Whether the NTFS boot sector (or, when it is unsigned, its copy at the
// range's end) gives 1024-byte file records; a boot sector that says
// nothing readable is left to the parameter reading to judge.
bool HasStandardNtfsRecords(VolumeContext& context) {
  for (const SectorNumber sector : {context.scan.rangeStart, context.scan.rangeEnd}) {
    SectorBuffer boot{};
    ReadSectorsZeroed(context.reader, sector, 1, boot);
    if (!HasBootSignature(boot)) continue;
    const std::uint64_t recordBytes = NtfsRecordBytes(boot);
    return recordBytes == 0 || recordBytes == 1024;
  }
  return true;
}

}  // namespace

StandardScanOutcome RunStandardScan(VolumeContext& context, ItemStore& store, FolderTreeSink& tree,
                                    TreeNodeId rootNode) {
  const StandardScanOutcome geometry = FindVolumeGeometry(context);
  if (geometry != StandardScanOutcome::completed) return geometry;
  return WalkVolume(context, store, tree, rootNode);
}

StandardScanOutcome FindVolumeGeometry(VolumeContext& context) {
  UiPort& ui = context.ui;
  // The record scan reads 1024-byte records: a volume with others would
  // come out empty or wrong, not as what it holds.
  if (context.scan.selectedFsType == FsType::ntfs && !HasStandardNtfsRecords(context)) {
    ui.Notice(NoticeKind::error, kNtfsLargeRecordsMessage);
    return StandardScanOutcome::notPossible;
  }
  const bool fromBootSector = ReadVolumeParameters(context);
  context.scan.stopRequested = false;
  if (!fromBootSector) {
    ui.SetStatus(kCalculatingParameters);
    const bool inferred = CalculatePartitionParameters(context);
    ui.SetStatus("");
    if (!inferred) {
      const bool stopped = context.scan.StopRequested();
      ui.Notice(NoticeKind::error, stopped ? kAbortedByUserMessage : kStandardScanNotPossibleMessage);
      context.scan.stopRequested = false;
      return stopped ? StandardScanOutcome::abortedByUser : StandardScanOutcome::notPossible;
    }
  }
  return StandardScanOutcome::completed;
}

StandardScanOutcome WalkVolume(VolumeContext& context, ItemStore& store, FolderTreeSink& tree, TreeNodeId rootNode) {
  UiPort& ui = context.ui;
  const bool completed = context.volume.fsType == FsType::ntfs ? ScanNtfs(context, store, tree, rootNode)
                                                                : ScanFat(context, store, tree, rootNode);
  ui.SetProgress(0);
  ui.ShowProgress(false);
  return completed ? StandardScanOutcome::completed : StandardScanOutcome::stopped;
}

}  // namespace salvex
