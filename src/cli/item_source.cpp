#include "cli/item_source.h"

#include <iostream>

#include "cli/cli_error.h"
#include "common/visible_text.h"
#include "items/unreadable_directories.h"
#include "platform/protected_files.h"
#include "session/filter_patterns.h"
#include "session/volume_choice.h"
#include "session/scans.h"
#include "session/snapshot_files.h"
#include "session/stoppable.h"
#include "snapshot/advance_snapshot.h"
#include "snapshot/tree_snapshot.h"

namespace salvex::cli {
namespace {

std::string Trimmed(std::string_view message) {
  const std::size_t start = message.find_first_not_of(' ');
  return start == std::string_view::npos ? "" : std::string(message.substr(start));
}

// The snapshot's own message for a file that cannot be created, without its
// padding, then the path and why.
std::string SavedPath(const SavedSnapshot& saved, const char* cannotCreate) {
  switch (saved.failure) {
    case SavedSnapshot::Failure::none:
      return saved.path;
    case SavedSnapshot::Failure::isBeingRead:
      throw CliError(Trimmed(cannotCreate) + ": " + saved.path + ": " + kProtectedFileMessage);
    case SavedSnapshot::Failure::onScannedDisk:
      throw CliError(Trimmed(cannotCreate) + ": " + saved.reason);
    case SavedSnapshot::Failure::cannotCreate:
      break;
  }
  throw CliError(Trimmed(cannotCreate) + ": " + saved.path);
}

}  // namespace

std::optional<UnreadMarks> MarkUnread(Session& session, const LoadedItems& loaded) {
  if (!session.imageMap) return std::nullopt;
  if (loaded.ntfs) {
    std::cerr << "salvex: warning: the map marks the items of FAT volumes only; these NTFS items are not marked\n";
    return std::nullopt;
  }
  std::optional<UnreadMarks> marks = MarkUnreadItems(session);
  if (!marks) return marks;
  if (marks->tableSectors > 0) {
    std::cerr << "salvex: warning: " << marks->tableSectors << " sector(s) of the boot sector and FATs were not read "
              << "into the image: the folders and chains found may be wrong\n";
  }
  std::cerr << "salvex: by the map, " << marks->FilesMarked() << " file(s) and " << marks->FoldersMarked()
            << " folder(s) lie on sectors that were not read (zeros in the image, not the disk's bytes)"
            << (marks->FoldersMarked() > 0 ? "; those folders may hold more entries than are listed" : "") << '\n';
  return marks;
}

void SaveTreeSnapshot(const Session& session, const std::string& chosen, bool ntfs) {
  const std::string path = SavedPath(SaveTreeSnapshotFile(session, chosen), kUnableToOpenMessage);
  std::cerr << "salvex: snapshot saved as " << path
            << (ntfs ? " (the range and geometry only: NTFS items are not stored)" : "") << '\n';
}

void SaveAdvanceSnapshot(const Session& session, const std::string& chosen) {
  const std::string path = SavedPath(SaveAdvanceSnapshotFile(session, chosen), kFileCreationErrorMessage);
  std::cerr << "salvex: snapshot saved as " << path << '\n';
}

void LoadAdvanceSnapshot(Session& session, const std::string& path, const DeepOptions& deep, CliUiPort& ui) {
  Require(LoadAdvanceSnapshotFile(session, path, ui));
  ui.ClearLine();
  // The file says what its range was swept for; --fs may only repeat it.
  const FsType swept = session.scan.selectedFsType;
  if (!deep.fs.empty() && FsTypeNamed(deep.fs) != swept) {
    throw CliError("--fs " + deep.fs + " does not match " + path + ", whose range was swept for " +
                   FsTypeText(swept));
  }
}

bool SweepRange(Session& session, CliUiPort& ui) {
  const bool interrupted =
      RunStoppable([&] { SweepAndClassify(session, ui); }, session.scan.stopRequested);
  ui.ClearLine();
  return !interrupted;
}

LoadedItems MountFound(Session& session, std::uint16_t ordinal, CliUiPort& ui, FolderTreeModel& tree) {
  bool completed = true;
  Outcome outcome;
  RunStoppable(
      [&] { outcome = MountFoundFileSystem(session, ordinal, ui, tree, FolderTreeModel::kRoot, completed); },
      session.scan.stopRequested);
  ui.ClearLine();
  Require(outcome);
  return {ItemsAreNtfs(session), completed};
}

namespace {

LoadedItems LoadItemsOnly(Session& session, const VolumeOptions& volume, const DeepOptions& deep, CliUiPort& ui,
                          FolderTreeModel& tree) {
  Require(AddFilterPatterns(session, volume.filters));
  if (!volume.snapshot.empty()) {
    if (!IsAdvanceSnapshotPath(volume.snapshot)) {
      Require(LoadTreeSnapshotFile(session, volume.snapshot, ui, tree, FolderTreeModel::kRoot));
      return {ItemsAreNtfs(session), true};
    }
    if (!deep.mount) throw CliError("an advance-scan snapshot holds found file systems: choose one with --mount N");
    LoadAdvanceSnapshot(session, volume.snapshot, deep, ui);
    return MountFound(session, *deep.mount, ui, tree);
  }
  if (deep.mount) {
    ChooseDeepRange(session, volume, deep);
    const bool swept = SweepRange(session, ui);
    LoadedItems loaded = MountFound(session, *deep.mount, ui, tree);
    loaded.complete = loaded.complete && swept;
    return loaded;
  }
  if (!deep.fs.empty()) throw CliError("--fs belongs to the Advance Scan: add --mount K, or use --type");
  ChooseVolume(session, volume);
  ui.SetStatus("Mounting volume, please wait...");
  StandardScanOutcome outcome = StandardScanOutcome::completed;
  // Ctrl-C stops the scan; what was found so far is kept.
  RunStoppable([&] { outcome = StandardScan(session, ui, tree, FolderTreeModel::kRoot); },
               session.scan.stopRequested);
  ui.SetStatus("");
  ui.ClearLine();
  // The scan has said why in its error box.
  if (outcome == StandardScanOutcome::abortedByUser || outcome == StandardScanOutcome::notPossible) {
    throw ReportedError();
  }
  // Their later clusters (or the folder itself) are no longer reached from
  // the root; the sweep looks at every sector.
  if (const std::uint32_t unread = session.items.counters.deletedFoldersNotReadWhole; unread > 0 && !ItemsAreNtfs(session)) {
    std::cerr << "salvex: " << unread << " deleted folder(s) could not be read whole; an Advance Scan "
              << "(--mount K with --fs) may find more of their files\n";
  }
  return {ItemsAreNtfs(session), outcome == StandardScanOutcome::completed};
}

}  // namespace

LoadedItems LoadItems(Session& session, const VolumeOptions& volume, const DeepOptions& deep, CliUiPort& ui,
                      FolderTreeModel& tree) {
  LoadedItems loaded = LoadItemsOnly(session, volume, deep, ui, tree);
  if (loaded.ntfs) return loaded;
  // One line per folder, however many of its sectors failed: a damaged
  // volume can claim millions of them.
  const std::vector<UnreadableDirectorySectorAt> gaps = DescribeUnreadableDirectorySectors(session.items, tree);
  loaded.unreadableDirectorySectors = gaps.size();
  for (std::size_t i = 0; i < gaps.size();) {
    std::size_t count = 1;
    while (i + count < gaps.size() && gaps[i + count].folder == gaps[i].folder) ++count;
    std::cerr << "salvex: warning: folder " << VisibleText(gaps[i].folder) << ": directory sector " << gaps[i].sector;
    if (count > 1) std::cerr << " and " << count - 1 << " more";
    std::cerr << " could not be read; the entries " << (count > 1 ? "they" : "it") << " held are missing\n";
    i += count;
  }
  return loaded;
}

}  // namespace salvex::cli
