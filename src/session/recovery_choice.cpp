#include "session/recovery_choice.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <optional>
#include <unordered_set>

#include "items/item_paths.h"
#include "platform/destination_check.h"
#include "session/scans.h"
#include "session/unread_marks.h"

namespace salvex {
namespace {

std::string Trimmed(std::string path) {
  while (!path.empty() && path.front() == '/') path.erase(path.begin());
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

template <typename Kind>
ItemsByPath SelectByPath(const ItemStore& store, const FolderTreeModel& tree, const std::vector<std::string>& wanted) {
  ItemsByPath result;
  const ItemPaths<Kind> paths(store, tree);
  std::multimap<std::string, std::uint32_t> folders;
  std::multimap<std::string, std::uint32_t> files;
  for (std::uint32_t i = 0; i < Kind::Folders(store).Size(); ++i) {
    if (auto path = paths.FolderPath(i)) folders.emplace(*path, i);
  }
  for (std::uint32_t i = 0; i < Kind::Files(store).Size(); ++i) {
    if (auto path = paths.FilePath(i)) files.emplace(*path, i);
  }
  for (const std::string& asked : wanted) {
    const std::string path = Trimmed(asked);
    if (path.empty()) {
      result.selection.all = true;
      continue;
    }
    const auto [folderBegin, folderEnd] = folders.equal_range(path);
    const auto [fileBegin, fileEnd] = files.equal_range(path);
    if (folderBegin == folderEnd && fileBegin == fileEnd) {
      result.outcome = Outcome::Failed("no folder or file at '" + asked + "' in the scanned volume (see salvex scan)");
      return result;
    }
    for (auto it = folderBegin; it != folderEnd; ++it) result.selection.folders.push_back(it->second);
    for (auto it = fileBegin; it != fileEnd; ++it) result.selection.files.push_back(it->second);
  }
  return result;
}

template <typename Kind>
RecoverySelection SelectByNodes(const ItemStore& store, const std::vector<TreeNodeId>& nodes,
                                const std::vector<std::uint32_t>& files) {
  RecoverySelection selection;
  selection.files = files;
  std::map<TreeNodeId, std::uint32_t> folderOfNode;
  const auto& folders = Kind::Folders(store).Items();
  for (std::uint32_t i = 0; i < folders.size(); ++i) folderOfNode.emplace(folders[i].treeNode, i);
  for (const TreeNodeId node : nodes) {
    if (node == FolderTreeModel::kRoot) {
      selection.all = true;
    } else if (const auto found = folderOfNode.find(node); found != folderOfNode.end()) {
      selection.folders.push_back(found->second);
    }
  }
  return selection;
}

// Sums the admitted files of the selection, walking each chosen folder (the
// root for "all") and everything below it once.
template <typename Kind>
std::uint64_t SelectionBytes(const Session& session, const RecoverySelection& selection) {
  const ItemStore& store = session.items;
  const FileFilter filter = session.PassesFilters();
  const auto never = [](const std::string&) { return false; };
  std::uint64_t total = 0;
  std::unordered_set<std::uint32_t> counted;
  const auto add = [&](std::uint32_t position) {
    const auto& file = Kind::Files(store).Items()[position];
    if (counted.insert(position).second &&
        AdmitForRecovery(file.name, file.deleted, session.settings, filter, never).verdict == Admission::admitted) {
      total += file.size;
    }
  };
  for (const std::uint32_t position : selection.files) add(position);
  std::vector<std::uint32_t> keys;
  if (selection.all) keys.push_back(Kind::kRootKey);
  for (const std::uint32_t position : selection.folders) keys.push_back(Kind::KeyOf(Kind::Folders(store).Items()[position]));
  std::unordered_set<std::uint32_t> visited;
  while (!keys.empty()) {
    const std::uint32_t key = keys.back();
    keys.pop_back();
    if (!visited.insert(key).second) continue;
    for (const std::uint32_t position : Kind::Files(store).ChildrenOf(key)) add(position);
    for (const std::uint32_t position : Kind::Folders(store).ChildrenOf(key)) {
      keys.push_back(Kind::KeyOf(Kind::Folders(store).Items()[position]));
    }
  }
  return total;
}

std::string OnScannedDisk(const std::string& sourcePath, const std::string& out) {
  return "the folder " + out + " lies on the disk being recovered (" + sourcePath +
         "): writing there would overwrite the data being rescued. Choose a folder on another disk.";
}

}  // namespace

ItemsByPath SelectItemsByPath(const Session& session, const FolderTreeModel& tree, const std::vector<std::string>& paths) {
  return ItemsAreNtfs(session) ? SelectByPath<NtfsKind>(session.items, tree, paths)
                               : SelectByPath<FatKind>(session.items, tree, paths);
}

RecoverySelection SelectItemsByNodes(const Session& session, const std::vector<TreeNodeId>& folderNodes,
                                     const std::vector<std::uint32_t>& files) {
  return ItemsAreNtfs(session) ? SelectByNodes<NtfsKind>(session.items, folderNodes, files)
                               : SelectByNodes<FatKind>(session.items, folderNodes, files);
}

Destination OpenRecoveryDestination(const Session& session, const std::string& path) {
  const std::string source = session.reader.Source()->Name();
  // Checked before anything is created: even an empty folder made on the
  // disk being recovered may overwrite what is to be rescued.
  if (const auto device = DeviceOfNearestExisting(path);
      device && CheckDestination(source, *device) == DestinationRisk::onScannedDisk) {
    return {nullptr, Outcome::Failed(OnScannedDisk(source, path))};
  }
  std::error_code created;
  std::filesystem::create_directories(path, created);
  if (created) return {nullptr, Outcome::Failed("cannot create the folder " + path + ": " + created.message())};
  std::string error;
  Destination destination{HostFolder::Open(path, error, session.FilesBeingRead()), {}};
  if (!destination.folder) return {nullptr, Outcome::Failed(error)};
  switch (CheckDestination(source, destination.folder->Device())) {
    case DestinationRisk::onScannedDisk:
      return {nullptr, Outcome::Failed(OnScannedDisk(source, path))};
    case DestinationRisk::sameFileSystemAsImage:
      destination.outcome.warnings.push_back(path + " is on the same file system as " + source +
                                             "; make sure it has room for the recovered files");
      break;
    case DestinationRisk::none:
      break;
  }
  return destination;
}

std::uint64_t BytesToRecover(const Session& session, const RecoverySelection& selection) {
  return ItemsAreNtfs(session) ? SelectionBytes<NtfsKind>(session, selection)
                               : SelectionBytes<FatKind>(session, selection);
}

RecoverySummary RecoverItems(Session& session, const RecoverySelection& selection, const HostFolder& destination,
                             UiPort& ui, SavingView& saving, RecoveryRunState& run) {
  // With the image's map, a sector never read from the disk is an
  // unreadable sector of the file, not a zero the disk held.
  const ReadThroughImageMap throughMap(session);
  ExtractionContext context{session.reader, session.volume, session.settings, run, ui, saving,
                            session.PassesFilters()};
  return ItemsAreNtfs(session) ? RunNtfsRecovery(context, session.items, selection, destination)
                               : RunFatRecovery(context, session.items, selection, destination);
}

}  // namespace salvex
