#include <iostream>

#include "cli/cli_error.h"
#include "cli/cli_ui_port.h"
#include "cli/commands.h"
#include "cli/scan_listing.h"
#include "cli/stoppable.h"
#include "wizard/standard_scan.h"
#include "items/folder_tree_model.h"
#include "partition/partition_record.h"

namespace salvex::cli {
namespace {

std::string DescribeVolume(const Session& session) {
  const ScanState& scan = session.scan;
  const VolumeParameters& volume = session.volume;
  std::string text = FsTypeText(scan.selectedFsType);
  text += " volume, sectors " + std::to_string(scan.rangeStart) + " to " + std::to_string(scan.rangeEnd);
  text += ", " + std::to_string(volume.sectorsPerCluster * 512) + " bytes per cluster";
  return text;
}

}  // namespace

int RunScan(const ScanOptions& options) {
  Session session;
  OpenSource(session, options.source);
  ChooseVolume(session, options.volume);

  CliUiPort ui;
  ui.SetStatus("Mounting volume, please wait...");
  FolderTreeModel tree;
  VolumeContext context = session.Volume(ui);
  // Ctrl-C stops the scan; what was found so far is still listed.
  StandardScanOutcome outcome = StandardScanOutcome::completed;
  RunStoppable([&] { outcome = RunStandardScan(context, session.items, tree, FolderTreeModel::kRoot); },
               session.scan.stopRequested);
  ui.SetStatus("");
  ui.ClearLine();
  if (outcome == StandardScanOutcome::abortedByUser || outcome == StandardScanOutcome::notPossible) return 1;

  if (options.json) {
    PrintItemsJson(std::cout, session.items, tree, session.volume.fsType == FsType::ntfs);
  } else {
    const ItemCounters& counters = session.items.counters;
    std::cout << DescribeVolume(session) << '\n'
              << counters.folderCount << " folder(s), " << counters.fileCount << " file(s) found"
              << (outcome == StandardScanOutcome::stopped ? " before the scan was stopped" : "") << "\n\n";
    PrintListing(std::cout, session.items, tree, session.volume.fsType == FsType::ntfs);
  }
  return outcome == StandardScanOutcome::completed ? 0 : 1;
}

}  // namespace salvex::cli
