#include "cli/item_source.h"

#include "cli/cli_error.h"
#include "cli/stoppable.h"
#include "wizard/advance_scan.h"
#include "wizard/standard_scan.h"

namespace salvex::cli {

void RunDeepScan(Session& session, CliUiPort& ui) {
  RunStoppable(
      [&] {
        RunAdvanceScan(session.reader, session.scan, session.settings, ui, session.deepScan, nullptr, 0);
      },
      session.scan.stopRequested);
  ui.ClearLine();
}

LoadedItems MountFound(Session& session, std::uint16_t ordinal, CliUiPort& ui, FolderTreeModel& tree) {
  if (!SelectFoundFileSystem(session.deepScan, ordinal, session.volume)) {
    throw CliError("there is no found file system " + std::to_string(ordinal) + " (" +
                   std::to_string(session.deepScan.found.size()) + " found)");
  }
  VolumeContext volume = session.Volume(ui);
  MountContext mount{volume, session.items, session.deepScan, tree, FolderTreeModel::kRoot};
  bool completed = true;
  RunStoppable([&] { completed = RunMount(mount); }, session.scan.stopRequested);
  ui.ClearLine();
  return {session.volume.fsType == FsType::ntfs, completed};
}

LoadedItems LoadItems(Session& session, const VolumeOptions& volume, const DeepOptions& deep, CliUiPort& ui,
                      FolderTreeModel& tree) {
  if (deep.mount) {
    ChooseDeepRange(session, volume, deep);
    RunDeepScan(session, ui);
    return MountFound(session, *deep.mount, ui, tree);
  }
  if (!deep.fs.empty()) throw CliError("--fs belongs to the Advance Scan: add --mount K, or use --type");
  ChooseVolume(session, volume);
  ui.SetStatus("Mounting volume, please wait...");
  VolumeContext context = session.Volume(ui);
  StandardScanOutcome outcome = StandardScanOutcome::completed;
  // Ctrl-C stops the scan; what was found so far is kept.
  RunStoppable([&] { outcome = RunStandardScan(context, session.items, tree, FolderTreeModel::kRoot); },
               session.scan.stopRequested);
  ui.SetStatus("");
  ui.ClearLine();
  if (outcome == StandardScanOutcome::abortedByUser || outcome == StandardScanOutcome::notPossible) {
    throw CliError("no FAT geometry could be found in this range; try the Advance Scan: salvex deep-scan");
  }
  return {session.volume.fsType == FsType::ntfs, outcome == StandardScanOutcome::completed};
}

}  // namespace salvex::cli
