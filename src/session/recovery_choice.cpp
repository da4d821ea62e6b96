#include "session/recovery_choice.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <thread>
#include <unordered_set>

#include "items/item_paths.h"
#include "platform/destination_check.h"
#include "session/extraction_context.h"
#include "session/scanned_disk_guard.h"
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
    if (paths.LostFilesNode() && path == tree.Text(*paths.LostFilesNode())) {
      result.selection.lostFiles = true;
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
RecoverySelection SelectByNodes(const ItemStore& store, const FolderTreeModel& tree, const std::vector<TreeNodeId>& nodes,
                                const std::vector<std::uint32_t>& files) {
  RecoverySelection selection;
  selection.files = files;
  const ItemPaths<Kind> paths(store, tree);
  for (const TreeNodeId node : nodes) {
    if (node == FolderTreeModel::kRoot) {
      selection.all = true;
    } else if (paths.IsLostFilesNode(node)) {
      selection.lostFiles = true;
    } else if (const auto folder = paths.FolderOfNode(node)) {
      selection.folders.push_back(*folder);
    }
  }
  return selection;
}

// Sums the admitted files of the selection, walking each chosen node of the
// tree (the root for "all") and everything below it once, as the recovery
// does.
template <typename Kind>
RecoveryTotals SelectionTotals(const Session& session, const FolderTreeModel& tree, const RecoverySelection& selection) {
  const ItemStore& store = session.items;
  const ItemPaths<Kind> paths(store, tree);
  const FileFilter filter = session.PassesFilters();
  const auto never = [](const std::string&) { return false; };
  RecoveryTotals total;
  std::unordered_set<std::uint32_t> counted;
  const auto add = [&](std::uint32_t position) {
    const auto& file = Kind::Files(store).Items()[position];
    if (counted.insert(position).second &&
        AdmitForRecovery(file.name, file.deleted, session.settings, filter, never).verdict == Admission::admitted) {
      ++total.files;
      total.bytes += file.size;
    }
  };
  for (const std::uint32_t position : selection.files) add(position);
  std::vector<TreeNodeId> nodes;
  if (selection.all) nodes.push_back(FolderTreeModel::kRoot);
  if (selection.lostFiles && paths.LostFilesNode()) nodes.push_back(*paths.LostFilesNode());
  for (const std::uint32_t position : selection.folders) nodes.push_back(Kind::Folders(store).Items()[position].treeNode);
  std::unordered_set<TreeNodeId> visited;
  while (!nodes.empty()) {
    const TreeNodeId node = nodes.back();
    nodes.pop_back();
    if (!tree.Contains(node) || !visited.insert(node).second) continue;
    for (const std::uint32_t position : paths.FilesOfNode(node)) add(position);
    for (const TreeNodeId child : tree.Children(node)) nodes.push_back(child);
  }
  return total;
}

}  // namespace

ItemsByPath SelectItemsByPath(const Session& session, const FolderTreeModel& tree, const std::vector<std::string>& paths) {
  return ItemsAreNtfs(session) ? SelectByPath<NtfsKind>(session.items, tree, paths)
                               : SelectByPath<FatKind>(session.items, tree, paths);
}

RecoverySelection SelectItemsByNodes(const Session& session, const FolderTreeModel& tree,
                                     const std::vector<TreeNodeId>& folderNodes, const std::vector<std::uint32_t>& files) {
  return ItemsAreNtfs(session) ? SelectByNodes<NtfsKind>(session.items, tree, folderNodes, files)
                               : SelectByNodes<FatKind>(session.items, tree, folderNodes, files);
}

Destination OpenRecoveryDestination(const Session& session, const std::string& path) {
  const std::string source = session.reader.Source()->Name();
  // Checked before anything is created: even an empty folder made on the
  // disk being recovered may overwrite what is to be rescued.
  if (auto refusal = ScannedDiskRefusal(session, path)) return {nullptr, Outcome::Failed("the folder " + *refusal)};
  std::error_code created;
  std::filesystem::create_directories(path, created);
  if (created) return {nullptr, Outcome::Failed("cannot create the folder " + path + ": " + created.message())};
  std::string error;
  Destination destination{HostFolder::Open(path, error, session.FilesBeingRead()), {}};
  if (!destination.folder) return {nullptr, Outcome::Failed(error)};
  if (auto refusal = ScannedDiskRefusal(session, path, destination.folder->Device())) {
    return {nullptr, Outcome::Failed("the folder " + *refusal)};
  }
  if (CheckDestination(source, destination.folder->Device()) == DestinationRisk::sameFileSystemAsImage) {
    destination.outcome.warnings.push_back(path + " is on the same file system as " + source +
                                           "; make sure it has room for the recovered files");
  }
  return destination;
}

RecoveryTotals TotalsToRecover(const Session& session, const FolderTreeModel& tree, const RecoverySelection& selection) {
  return ItemsAreNtfs(session) ? SelectionTotals<NtfsKind>(session, tree, selection)
                               : SelectionTotals<FatKind>(session, tree, selection);
}

unsigned RecoveryWriterThreads() {
  // Two threads already share out most of what the kernel spends making
  // files; more keep little but contention on the directories' locks.
  constexpr unsigned kMaxWriters = 4;
  return std::clamp(std::thread::hardware_concurrency(), 2u, kMaxWriters);
}

RecoverySummary RecoverItems(Session& session, const FolderTreeModel& tree, const RecoverySelection& selection,
                             const HostFolder& destination, UiPort& ui, SavingView& saving, RecoveryRunState& run) {
  // With the image's map, a sector never read from the disk is an
  // unreadable sector of the file, not a zero the disk held.
  const ReadThroughImageMap throughMap(session);
  ExtractionContext context = ExtractionContextOf(session, run, ui, saving, session.PassesFilters());
  context.writerThreads = RecoveryWriterThreads();
  return ItemsAreNtfs(session) ? RunNtfsRecovery(context, session.items, tree, selection, destination)
                               : RunFatRecovery(context, session.items, tree, selection, destination);
}

}  // namespace salvex
