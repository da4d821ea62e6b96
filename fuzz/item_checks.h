#pragma once

// Checks on what a scan or a mount leaves in the item store and its folder
// tree, for the harnesses that run one.

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "fuzz_support.h"
#include "items/folder_tree.h"
#include "items/folder_tree_model.h"
#include "items/item_store.h"
#include "platform/host_folder.h"

namespace salvex::fuzz {

// The node the tree build hangs lost and too deeply nested folders under, or
// 0: the one child of the root that no folder owns.
template <typename Folder>
TreeNodeId LostFilesNode(const std::vector<Folder>& folders, const FolderTreeModel& tree) {
  std::unordered_set<TreeNodeId> owned;
  for (const Folder& folder : folders) owned.insert(folder.treeNode);
  TreeNodeId lostFiles = 0;
  for (const TreeNodeId child : tree.Children(FolderTreeModel::kRoot)) {
    if (owned.contains(child)) continue;
    FUZZ_CHECK(lostFiles == 0 && tree.Text(child) == kLostFilesName);
    lostFiles = child;
  }
  return lostFiles;
}

// Every folder is placed; its node carries its name, and hangs under the
// root when its parent is the root key, under "Lost Files" when it lay too
// deep or the root does not reach it,
// otherwise under a node named as a folder with its parent key (with duplicate
// keys, as an NTFS Standard Scan keeps them, a subtree is repeated under every
// copy, so the node is matched by name). Nothing but the root, "Lost Files"
// and the placed folders is in the tree, and no node is deeper than the limit.
template <typename Folder, typename KeyOf, typename ParentOf>
void CheckFolderTree(const std::vector<Folder>& folders, const ItemCounters& counters, const FolderTreeModel& tree,
                     std::uint32_t rootKey, KeyOf keyOf, ParentOf parentOf) {
  const TreeNodeId lostFiles = LostFilesNode(folders, tree);
  FUZZ_CHECK(tree.NodeCount() == std::size_t{counters.treePlacedCount} + 1 + (lostFiles != 0 ? 1 : 0));
  // A parent's id is smaller than its children's.
  std::vector<std::size_t> depth(tree.NodeCount() + FolderTreeModel::kRoot, 0);
  for (TreeNodeId node = FolderTreeModel::kRoot + 1; tree.Contains(node); ++node) {
    depth[node] = depth[tree.Parent(node)] + 1;
    FUZZ_CHECK(depth[node] <= kMaxTreeDepth);
  }
  std::unordered_map<std::uint32_t, std::vector<const std::string*>> namesByKey;
  for (const Folder& folder : folders) namesByKey[keyOf(folder)].push_back(&folder.name);
  for (const Folder& folder : folders) {
    // Nothing found is out of reach: what the root does not reach is in
    // "Lost Files".
    FUZZ_CHECK(folder.treeNode != 0);
    FUZZ_CHECK(tree.Contains(folder.treeNode) && folder.treeNode != FolderTreeModel::kRoot);
    FUZZ_CHECK(tree.Text(folder.treeNode) == folder.name);
    const TreeNodeId parent = tree.Parent(folder.treeNode);
    if (parentOf(folder) == rootKey) {
      FUZZ_CHECK(parent == FolderTreeModel::kRoot);
      continue;
    }
    FUZZ_CHECK(parent != FolderTreeModel::kRoot);
    if (parent == lostFiles) continue;
    const auto names = namesByKey.find(parentOf(folder));
    FUZZ_CHECK(names != namesByKey.end());
    bool named = false;
    for (const std::string* name : names->second) named = named || *name == tree.Text(parent);
    FUZZ_CHECK(named);
  }
}

inline void CheckFatItems(const ItemStore& store, const FolderTreeModel& tree) {
  FUZZ_CHECK(store.counters.folderCount == store.FatFolders().Size());
  FUZZ_CHECK(store.counters.fileCount == store.FatFiles().Size());
  for (const FatFileItem& file : store.FatFiles().Items()) FUZZ_CHECK(IsUsableName(file.name));
  for (const FatFolderItem& folder : store.FatFolders().Items()) FUZZ_CHECK(IsUsableName(folder.name));
  CheckFolderTree(
      store.FatFolders().Items(), store.counters, tree, kFatRootKey,
      [](const FatFolderItem& folder) { return folder.firstCluster; },
      [](const FatFolderItem& folder) { return folder.parentCluster; });
}

inline void CheckNtfsItems(const ItemStore& store, const FolderTreeModel& tree) {
  FUZZ_CHECK(store.counters.folderCount == store.NtfsFolders().Size());
  FUZZ_CHECK(store.counters.fileCount == store.NtfsFiles().Size());
  for (const NtfsFileItem& file : store.NtfsFiles().Items()) FUZZ_CHECK(IsUsableName(file.name));
  for (const NtfsFolderItem& folder : store.NtfsFolders().Items()) FUZZ_CHECK(IsUsableName(folder.name));
  CheckFolderTree(
      store.NtfsFolders().Items(), store.counters, tree, kNtfsRootKey,
      [](const NtfsFolderItem& folder) { return folder.recordNumber; },
      [](const NtfsFolderItem& folder) { return folder.parentRecord; });
}

// After the lost folders are linked, every folder hangs from the root or from
// a folder that exists.
inline bool HasKnownParent(const ItemStore& store, const NtfsFolderItem& folder) {
  return folder.parentRecord == kNtfsRootKey || store.FindNtfsFolder(folder.parentRecord).has_value();
}

inline bool HasKnownParent(const ItemStore& store, const FatFolderItem& folder) {
  return folder.parentCluster == kFatRootKey || store.FindFatFolder(folder.parentCluster).has_value();
}

}  // namespace salvex::fuzz
