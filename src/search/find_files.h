#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "items/folder_tree_model.h"
#include "items/item_store.h"

namespace salvex {

// One row of the Find Files result list.
struct FoundFileRow {
  std::string name;  // upper-cased
  std::string path;  // "\" followed by the parent folder's path in the tree, "\"-separated
  std::uint64_t size = 0;
  // False when no folder of the tree leads to the file (its path is then
  // "\", which does not say where it is). A tree that the tree build made
  // leads to every file: one whose folder was never found is in "Lost Files".
  bool reachable = true;
  bool deleted = false;
  // The file's position in the store's file list, and its folder's tree
  // node (0 when unreachable): how a window leads from the row to the file.
  std::uint32_t position = 0;
  TreeNodeId folderNode = 0;
};

// Searches the store's files (its NTFS half when `ntfs`) for names matching
// `pattern`, both upper-cased, in list order; `onRow` gets each hit as it is
// found (and may be empty). Ends early when `stop` is raised. An empty
// pattern matches nothing.
std::vector<FoundFileRow> FindFiles(const ItemStore& store, const FolderTreeModel& tree, bool ntfs,
                                    std::string_view pattern, const std::atomic<bool>& stop,
                                    const std::function<void(const FoundFileRow&, std::size_t)>& onRow = {});

}  // namespace salvex
