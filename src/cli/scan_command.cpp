#include <iostream>

#include "cli/cli_error.h"
#include "cli/cli_ui_port.h"
#include "cli/commands.h"
#include "cli/item_source.h"
#include "cli/scan_listing.h"
#include "session/item_bytes.h"
#include "session/snapshot_files.h"
#include "session/stoppable.h"
#include "partition/disk_sector_size.h"
#include "volume/volume_sector_size.h"

namespace salvex::cli {
namespace {

// Sector numbers count 512 bytes on every disk; a volume formatted with
// larger sectors says so, and whether the disk's own differ.
std::string SectorSizeNote(Session& session) {
  const std::uint32_t own = VolumeSectorBytes(session.reader, session.scan.rangeStart, session.volume.fsType);
  if (own == kSectorSize) return "";
  const std::uint32_t disk = DiskSectorScale(session.reader) * kSectorSize;
  std::string text = ", " + std::to_string(own) + "-byte sectors";
  if (disk != own) text += " (the disk's are " + std::to_string(disk) + " bytes: read by the volume's own)";
  return text;
}

std::string DescribeVolume(Session& session) {
  const ScanState& scan = session.scan;
  const VolumeParameters& volume = session.volume;
  std::string text = FsTypeText(volume.fsType);
  text += " volume, sectors " + std::to_string(scan.rangeStart) + " to " + std::to_string(scan.rangeEnd);
  text += ", " + std::to_string(std::uint64_t{volume.sectorsPerCluster} * kSectorSize) + " bytes per cluster";
  if (session.reader.IsOpen()) text += SectorSizeNote(session);
  return text;
}

}  // namespace

bool PrintItems(Session& session, const FolderTreeModel& tree, const LoadedItems& loaded, bool json,
                const UnreadMarks* marks, bool check) {
  const FileFilter passes = session.PassesFilters();
  if (json && !check) {
    PrintItemsJson(std::cout, session.items, tree, loaded.ntfs, passes, marks);
    return true;
  }
  if (json) {
    // Reading every file can take long: Ctrl-C ends the checks, and the
    // files not yet checked have no verdict.
    RecoveryRunState run;
    IntactCheckBudget budget;
    budget.stop = &run.stopSaving;
    const IntactVerdict intact = [&](std::uint32_t position) {
      return ItemLooksIntact(session, position, run, budget, marks ? marks->FileSectors(position) : 0);
    };
    const bool stopped =
        RunStoppable([&] { PrintItemsJson(std::cout, session.items, tree, loaded.ntfs, passes, marks, intact); },
                     run.stopSaving);
    if (stopped) std::cerr << "salvex: stopped: the files not checked yet have \"intact\": null\n";
    if (budget.filesOverBudget > 0) {
      std::cerr << "salvex: warning: " << budget.filesOverBudget
                << " archive(s) list more data than a check inflates (1 GiB a file, 16 GiB a run): "
                   "their members past that were checked for their structure only\n";
    }
    return !stopped;
  }
  const ItemCounters& counters = session.items.counters;
  std::cout << DescribeVolume(session) << '\n'
            << counters.folderCount << " folder(s), " << counters.fileCount << " file(s) found"
            << (loaded.complete ? "" : " before the scan was stopped") << "\n\n";
  PrintListing(std::cout, session.items, tree, loaded.ntfs, passes, marks);
  return true;
}

int RunScan(const ScanOptions& options) {
  if (IsAdvanceSnapshotPath(options.volume.snapshot)) {
    throw CliError(options.volume.snapshot +
                   " holds an Advance Scan's hits: salvex deep-scan SOURCE --snapshot FILE lists the file systems "
                   "they form, and with --mount N the tree of one");
  }
  Session session;
  OpenDiskOrImage(session, options.source);
  CliUiPort ui;
  FolderTreeModel tree;
  const LoadedItems loaded = LoadItems(session, options.volume, {}, ui, tree);
  if (!options.saveSnapshot.empty()) SaveTreeSnapshot(session, options.saveSnapshot, loaded.ntfs);
  const std::optional<UnreadMarks> marks = MarkUnread(session, loaded);
  const bool checked = PrintItems(session, tree, loaded, options.json, marks ? &*marks : nullptr, options.check);
  // A folder on unread sectors may hide entries, as an unreadable one does.
  const bool foldersUnread = marks && marks->FoldersMarked() > 0;
  return checked && loaded.complete && loaded.unreadableDirectorySectors == 0 && !foldersUnread ? 0 : 1;
}

}  // namespace salvex::cli
