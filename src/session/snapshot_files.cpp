#include "session/snapshot_files.h"

#include <algorithm>
#include <optional>

#include "exfat/exfat_deleted_files.h"
#include "fat/deleted_cluster_resolver.h"
#include "fat/fat_walk.h"
#include "platform/whole_file.h"
#include "session/advance_scan.h"
#include "session/scanned_disk_guard.h"
#include "snapshot/advance_snapshot.h"
#include "snapshot/snapshot_bytes.h"
#include "snapshot/tree_snapshot.h"

namespace salvex {
namespace {

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    const char c = text[text.size() - suffix.size() + i];
    if ((c >= 'a' && c <= 'z' ? c - 32 : c) != suffix[i]) return false;
  }
  return true;
}

std::string NamedPath(const std::string& chosenPath, std::string_view extension, SnapshotName naming) {
  if (naming == SnapshotName::upperCased) return SnapshotPath(chosenPath, extension);
  return EndsWithIgnoringCase(chosenPath, extension) ? chosenPath : chosenPath + std::string(extension);
}

SavedSnapshot Save(const Session& session, const std::string& chosenPath, std::string_view extension,
                   SnapshotName naming, const std::vector<std::uint8_t>& bytes) {
  SavedSnapshot saved{NamedPath(chosenPath, extension, naming), SavedSnapshot::Failure::none, {}};
  if (auto refusal = ScannedDiskRefusal(session, saved.path)) {
    saved.failure = SavedSnapshot::Failure::onScannedDisk;
    saved.reason = std::move(*refusal);
    return saved;
  }
  switch (WriteRegularFile(saved.path, bytes, session.FilesBeingRead())) {
    case FileWrite::written:
      break;
    case FileWrite::refusedProtected:
      saved.failure = SavedSnapshot::Failure::isBeingRead;
      break;
    case FileWrite::failed:
      saved.failure = SavedSnapshot::Failure::cannotCreate;
      break;
  }
  return saved;
}

// Refuses a file whose first bytes say it is not a snapshot of the kind
// wanted, with the message its decoder gives.
HeadCheck HeadCheckOf(const std::string& path, std::size_t headBytes, void (*check)(Bytes head)) {
  return {headBytes, [path, check](std::span<const std::uint8_t> head) -> std::string {
            try {
              check(head);
              return "";
            } catch (const SnapshotError& failure) {
              return path + ": " + failure.what();
            }
          }};
}

}  // namespace

bool IsAdvanceSnapshotPath(std::string_view path) { return EndsWithIgnoringCase(path, kAdvanceSnapshotExtension); }

Outcome LoadTreeSnapshotFile(Session& session, const std::string& path, UiPort& ui, FolderTreeSink& tree,
                             TreeNodeId root) {
  std::string error;
  const std::optional<WholeFile> file =
      ReadRegularFile(path, kMaxSnapshotFileBytes, error, HeadCheckOf(path, kTreeSnapshotHeadBytes, CheckTreeSnapshotHead));
  if (!file) return Outcome::Failed(error);
  try {
    const TreeSnapshot snapshot = DecodeTreeSnapshot(file->bytes);
    ApplyTreeSnapshot(snapshot, session.scan, session.volume, session.items);
  } catch (const SnapshotError& failure) {
    return Outcome::Failed(path + ": " + failure.what());
  }
  // A snapshot keeps no marks: the disk's FAT tells again which deleted
  // files' clusters are now other files'. exFAT's deleted files keep the
  // clusters the scan chose and their marks; which of them share clusters
  // follows from those.
  // Files found by their content keep their extents and marks, and no
  // entry's clusters are to be worked out beside them.
  const auto& files = session.items.FatFiles().Items();
  const bool foundByContent =
      std::any_of(files.begin(), files.end(), [](const FatFileItem& item) { return item.carved != nullptr; });
  if (session.volume.fsType == FsType::exfat && !foundByContent) MarkExfatConflicts(session.items);
  if (session.reader.IsOpen() && !foundByContent && IsFatType(session.volume.fsType)) {
    const SectorNumber lastSector = LastVolumeSector(session.volume, session.scan);
    const WalkedDirectories none;
    DeletedClusterResolver(session.reader, session.volume, FatEntryLimits(session.volume, lastSector).lastCluster, none,
                           session.scan.stopRequested)
        .ResolveFiles(session.items);
  }
  session.snapshotFile = file->identity;
  BuildFatFolderTree(session.items, tree, ui, root);
  ui.ShowProgress(false);
  return {};
}

Outcome LoadAdvanceSnapshotFile(Session& session, const std::string& path, UiPort& ui) {
  std::string error;
  const std::optional<WholeFile> file = ReadRegularFile(
      path, kMaxSnapshotFileBytes, error, HeadCheckOf(path, kAdvanceSnapshotHeadBytes, CheckAdvanceSnapshotHead));
  if (!file) return Outcome::Failed(error);
  AdvanceSnapshot snapshot;
  try {
    snapshot = DecodeAdvanceSnapshot(file->bytes);
  } catch (const SnapshotError& failure) {
    return Outcome::Failed(path + ": " + failure.what());
  }
  session.snapshotFile = file->identity;
  session.scan.scanType = ScanType::advance;
  ApplyRange(snapshot.range, session.scan);
  session.deepScan.Clear();
  session.deepScan.hits = std::move(snapshot.hits);
  ClassifyLoadedHits(session.reader, session.scan, ui, session.deepScan);
  return {};
}

SavedSnapshot SaveTreeSnapshotFile(const Session& session, const std::string& chosenPath, SnapshotName naming) {
  return Save(session, chosenPath, kTreeSnapshotExtension, naming,
              EncodeTreeSnapshot(session.scan, session.volume, session.items));
}

SavedSnapshot SaveAdvanceSnapshotFile(const Session& session, const std::string& chosenPath, SnapshotName naming) {
  return Save(session, chosenPath, kAdvanceSnapshotExtension, naming,
              EncodeAdvanceSnapshot(session.scan, session.deepScan.hits));
}

}  // namespace salvex
