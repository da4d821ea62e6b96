#include <sys/stat.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <optional>

#include "cli/cli_error.h"
#include "cli/cli_ui_port.h"
#include "cli/commands.h"
#include "cli/item_source.h"
#include "cli/stoppable.h"
#include "items/item_paths.h"
#include "recovery/recovery_run.h"
#include "platform/destination_check.h"

namespace salvex::cli {
namespace {

std::string Trimmed(std::string path) {
  while (!path.empty() && path.front() == '/') path.erase(path.begin());
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

// Finds the items named on the command line; every path must name something.
template <typename Kind>
RecoverySelection SelectItems(const ItemStore& store, const FolderTreeModel& tree, const RecoverOptions& options) {
  RecoverySelection selection;
  selection.all = options.all;
  if (options.all) return selection;
  const ItemPaths<Kind> paths(store, tree);
  std::multimap<std::string, std::uint32_t> folders;
  std::multimap<std::string, std::uint32_t> files;
  for (std::uint32_t i = 0; i < Kind::Folders(store).Size(); ++i) {
    if (auto path = paths.FolderPath(i)) folders.emplace(*path, i);
  }
  for (std::uint32_t i = 0; i < Kind::Files(store).Size(); ++i) {
    if (auto path = paths.FilePath(i)) files.emplace(*path, i);
  }
  for (const std::string& wanted : options.paths) {
    const std::string path = Trimmed(wanted);
    if (path.empty()) {
      selection.all = true;  // "/" is the whole volume
      continue;
    }
    const auto [folderBegin, folderEnd] = folders.equal_range(path);
    const auto [fileBegin, fileEnd] = files.equal_range(path);
    if (folderBegin == folderEnd && fileBegin == fileEnd) {
      throw CliError("no folder or file at '" + wanted + "' in the scanned volume (see salvex scan)");
    }
    for (auto it = folderBegin; it != folderEnd; ++it) selection.folders.push_back(it->second);
    for (auto it = fileBegin; it != fileEnd; ++it) selection.files.push_back(it->second);
  }
  return selection;
}

CliError OnScannedDiskError(const std::string& sourcePath, const std::string& out) {
  return CliError("the folder " + out + " lies on the disk being recovered (" + sourcePath +
                  "): writing there would overwrite the data being rescued. Choose a folder on another disk.");
}

// Refuses a destination on the disk being recovered; warns when an image
// shares the destination's file system.
void CheckDestinationDevice(const std::string& sourcePath, const std::string& out, dev_t device) {
  switch (CheckDestination(sourcePath, device)) {
    case DestinationRisk::onScannedDisk:
      throw OnScannedDiskError(sourcePath, out);
    case DestinationRisk::sameFileSystemAsImage:
      std::cerr << "salvex: warning: " << out << " is on the same file system as " << sourcePath
                << "; make sure it has room for the recovered files\n";
      break;
    case DestinationRisk::none:
      break;
  }
}

// The device of the nearest folder of `out` that exists already: where the
// folders still missing would be created.
std::optional<dev_t> DeviceOfNearestExisting(const std::filesystem::path& out) {
  std::filesystem::path at = std::filesystem::absolute(out);
  while (true) {
    struct stat info {};
    if (::stat(at.c_str(), &info) == 0) return info.st_dev;
    if (!at.has_relative_path()) return std::nullopt;
    at = at.parent_path();
  }
}

std::unique_ptr<HostFolder> OpenDestination(const std::string& sourcePath, const std::string& out,
                                            ProtectedFiles filesBeingRead) {
  // Checked before anything is created: even an empty folder made on the
  // disk being recovered may overwrite what is to be rescued.
  if (const auto device = DeviceOfNearestExisting(out);
      device && CheckDestination(sourcePath, *device) == DestinationRisk::onScannedDisk) {
    throw OnScannedDiskError(sourcePath, out);
  }
  std::error_code error;
  std::filesystem::create_directories(out, error);
  if (error) throw CliError("cannot create the folder " + out + ": " + error.message());
  std::string message;
  std::unique_ptr<HostFolder> destination = HostFolder::Open(out, message, std::move(filesBeingRead));
  if (!destination) throw CliError(message);
  CheckDestinationDevice(sourcePath, out, destination->Device());
  return destination;
}

void PrintSummary(const RecoverySummary& summary, const std::string& out) {
  std::cout << "Recovered " << summary.filesWritten << " file(s), " << summary.bytesWritten << " bytes, into " << out
            << '\n';
  std::cout << "Not recovered: " << summary.refusedByFilter << " by the filters, " << summary.refusedByDeletedMode
            << " by the deleted-file setting, " << summary.skippedDuplicates << " duplicate(s) skipped\n";
  if (!summary.failed.empty()) {
    std::cout << "Failed (" << summary.failed.size() << "):\n";
    for (const std::string& failure : summary.failed) std::cout << "  " << failure << '\n';
  }
  if (!summary.withUnreadableSectors.empty()) {
    std::cout << "Written with unreadable sectors filled with zeros (" << summary.withUnreadableSectors.size()
              << "):\n";
    for (const UnreadableFile& file : summary.withUnreadableSectors) {
      std::cout << "  " << file.path << " (" << file.sectors << " sector(s))\n";
    }
  }
  if (!summary.notRecoverable.empty()) {
    std::cout << "Not recoverable (" << summary.notRecoverable.size() << "):\n";
    for (const std::string& file : summary.notRecoverable) std::cout << "  " << file << '\n';
  }
  if (summary.emptyFiles > 0) std::cout << summary.emptyFiles << " empty file(s): nothing to recover\n";
  if (!summary.cutShort.empty()) {
    std::cout << "Left partial by Skip File or Stop Saving (" << summary.cutShort.size() << "):\n";
    for (const std::string& path : summary.cutShort) std::cout << "  " << path << '\n';
  }
  if (summary.stopped) std::cout << "Stopped before the end: the files above are all that was written.\n";
}

}  // namespace

int RunRecover(const RecoverOptions& options) {
  if (!options.all && options.paths.empty()) throw CliError("say what to recover: --all, or paths inside the volume");
  Session session;
  session.settings.deletedMode = options.deletedMode;
  session.settings.duplicateMode = options.duplicateMode;
  session.settings.badSectorRetries = options.retries;
  OpenSource(session, options.source);

  CliUiPort ui(true);  // a file that cannot be created: go on with the others
  FolderTreeModel tree;
  const LoadedItems loaded = LoadItems(session, options.volume, options.deep, ui, tree);
  if (!loaded.complete) throw CliError("the scan was stopped: nothing was recovered");

  const RecoverySelection selection = loaded.ntfs ? SelectItems<NtfsKind>(session.items, tree, options)
                                                  : SelectItems<FatKind>(session.items, tree, options);
  const std::unique_ptr<HostFolder> destination =
      OpenDestination(options.source, options.out, FilesBeingRead(session, loaded.snapshotFile));

  CliSavingView saving(ui);
  RecoveryRunState run;
  ExtractionContext context{session.reader, session.volume, session.settings, run, ui, saving,
                            session.PassesFilters()};
  ui.ShowProgress(true);
  // Ctrl-C raises Stop Saving: the files written so far stay and the summary still comes.
  RecoverySummary summary;
  RunStoppable(
      [&] {
        summary = loaded.ntfs ? RunNtfsRecovery(context, session.items, selection, *destination)
                              : RunFatRecovery(context, session.items, selection, *destination);
      },
      run.stopSaving);
  ui.ShowProgress(false);
  ui.SetStatus("");
  ui.ClearLine();
  PrintSummary(summary, options.out);
  return summary.AllWritten() ? 0 : 1;
}

}  // namespace salvex::cli
