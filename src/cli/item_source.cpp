#include "cli/item_source.h"

#include "cli/cli_error.h"
#include "cli/stoppable.h"
#include "platform/whole_file.h"
#include "snapshot/advance_snapshot.h"
#include "snapshot/snapshot_bytes.h"
#include "snapshot/tree_snapshot.h"
#include "session/advance_scan.h"
#include "session/standard_scan.h"

namespace salvex::cli {
namespace {

WholeFile ReadSnapshotFile(const std::string& path) {
  std::string error;
  std::optional<WholeFile> file = ReadRegularFile(path, kMaxSnapshotFileBytes, error);
  if (!file) throw CliError(error);
  return std::move(*file);
}

std::string Trimmed(std::string_view message) {
  const std::size_t start = message.find_first_not_of(' ');
  return start == std::string_view::npos ? "" : std::string(message.substr(start));
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    const char c = text[text.size() - suffix.size() + i];
    if ((c >= 'a' && c <= 'z' ? c - 32 : c) != suffix[i]) return false;
  }
  return true;
}

LoadedItems LoadTreeSnapshot(Session& session, const std::string& path, CliUiPort& ui, FolderTreeModel& tree) {
  const WholeFile file = ReadSnapshotFile(path);
  try {
    const TreeSnapshot snapshot = DecodeTreeSnapshot(file.bytes);
    ApplyTreeSnapshot(snapshot, session.scan, session.volume, session.items);
  } catch (const SnapshotError& error) {
    throw CliError(path + ": " + error.what());
  }
  session.scan.wizardStep = 3;
  BuildFatFolderTree(session.items, tree, ui, FolderTreeModel::kRoot);
  ui.ShowProgress(false);
  return {session.volume.fsType == FsType::ntfs, true, file.identity};
}

}  // namespace

ProtectedFiles FilesBeingRead(const Session& session, const std::optional<FileIdentity>& snapshotFile) {
  ProtectedFiles files;
  if (const auto disk = session.reader.Source()->Identity()) files.Add(*disk);
  if (snapshotFile) files.Add(*snapshotFile);
  return files;
}

bool IsAdvanceSnapshot(std::string_view path) { return EndsWithIgnoringCase(path, kAdvanceSnapshotExtension); }

void AddFilters(Session& session, const std::vector<std::string>& filters) {
  for (const std::string& filter : filters) {
    const FilterTable::AddResult result = session.filters.Add(filter);
    if (result == FilterTable::AddResult::alreadyListed) continue;
    if (result != FilterTable::AddResult::added) {
      std::string message = FilterRefusalMessage(result);
      message.erase(0, message.find_first_not_of(' '));
      message.erase(message.find_last_not_of(' ') + 1);
      throw CliError(message + ": " + filter);
    }
  }
}

std::string SaveSnapshot(const std::string& chosen, std::string_view extension,
                         const std::vector<std::uint8_t>& bytes, const char* failure,
                         const ProtectedFiles& filesBeingRead) {
  const std::string path = SnapshotPath(chosen, extension);
  switch (WriteRegularFile(path, bytes, filesBeingRead)) {
    case FileWrite::written: return path;
    case FileWrite::refusedProtected: throw CliError(Trimmed(failure) + ": " + path + ": " + kProtectedFileMessage);
    case FileWrite::failed: break;
  }
  throw CliError(Trimmed(failure) + ": " + path);
}

FileIdentity LoadAdvanceSnapshot(Session& session, const std::string& path, CliUiPort& ui) {
  const WholeFile file = ReadSnapshotFile(path);
  AdvanceSnapshot snapshot;
  try {
    snapshot = DecodeAdvanceSnapshot(file.bytes);
  } catch (const SnapshotError& error) {
    throw CliError(path + ": " + error.what());
  }
  session.scan.scanType = ScanType::advance;
  ApplyRange(snapshot.range, session.scan);
  session.deepScan.Clear();
  session.deepScan.hits = std::move(snapshot.hits);
  ClassifyLoadedHits(session.reader, session.scan, ui, session.deepScan, nullptr, 0);
  ui.ClearLine();
  return file.identity;
}

bool SweepRange(Session& session, CliUiPort& ui) {
  const bool interrupted = RunStoppable(
      [&] {
        RunAdvanceScan(session.reader, session.scan, session.settings, ui, session.deepScan, nullptr, 0);
      },
      session.scan.stopRequested);
  ui.ClearLine();
  return !interrupted;
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
  return {session.volume.fsType == FsType::ntfs, completed, std::nullopt};
}

LoadedItems LoadItems(Session& session, const VolumeOptions& volume, const DeepOptions& deep, CliUiPort& ui,
                      FolderTreeModel& tree) {
  AddFilters(session, volume.filters);
  if (!volume.snapshot.empty()) {
    if (!IsAdvanceSnapshot(volume.snapshot)) {
      return LoadTreeSnapshot(session, volume.snapshot, ui, tree);
    }
    if (!deep.mount) throw CliError("an advance-scan snapshot holds found file systems: choose one with --mount N");
    const FileIdentity snapshotFile = LoadAdvanceSnapshot(session, volume.snapshot, ui);
    LoadedItems loaded = MountFound(session, *deep.mount, ui, tree);
    loaded.snapshotFile = snapshotFile;
    return loaded;
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
  VolumeContext context = session.Volume(ui);
  StandardScanOutcome outcome = StandardScanOutcome::completed;
  // Ctrl-C stops the scan; what was found so far is kept.
  RunStoppable([&] { outcome = RunStandardScan(context, session.items, tree, FolderTreeModel::kRoot); },
               session.scan.stopRequested);
  ui.SetStatus("");
  ui.ClearLine();
  // The scan has said why in its error box.
  if (outcome == StandardScanOutcome::abortedByUser || outcome == StandardScanOutcome::notPossible) {
    throw ReportedError();
  }
  return {session.volume.fsType == FsType::ntfs, outcome == StandardScanOutcome::completed, std::nullopt};
}

}  // namespace salvex::cli
