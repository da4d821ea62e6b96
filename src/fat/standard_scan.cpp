#include "fat/standard_scan.h"

#include "fat/calculate_partition_parameters.h"
#include "fat/fat_walk.h"
#include "fat/read_volume_parameters.h"

namespace salvex {

StandardScanOutcome RunStandardScan(VolumeContext& context, ItemStore& store, FolderTreeSink& tree,
                                    TreeNodeId rootNode) {
  UiPort& ui = context.ui;
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
  const bool completed = WalkFatVolume(context, store);
  ui.SetProgress(0);
  BuildFatFolderTree(store, tree, ui, rootNode);
  ui.SetProgress(0);
  ui.ShowProgress(false);
  return completed ? StandardScanOutcome::completed : StandardScanOutcome::stopped;
}

}  // namespace salvex
