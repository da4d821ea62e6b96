#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "items/folder_tree_model.h"
#include "items/item_paths.h"

namespace salvex {

// A directory sector that could not be read, by the folder it belongs to as
// the tree shows it: "/" for the root, else "Docs/Old" (or "Lost Files").
struct UnreadableDirectorySectorAt {
  std::string folder;
  SectorNumber sector = 0;
};

inline std::vector<UnreadableDirectorySectorAt> DescribeUnreadableDirectorySectors(const ItemStore& store,
                                                                                   const FolderTreeModel& tree) {
  std::vector<UnreadableDirectorySectorAt> described;
  if (store.unreadableDirectorySectors.empty()) return described;
  const FatItemPaths paths(store, tree);
  for (const UnreadableDirectorySector& gap : store.unreadableDirectorySectors) {
    const auto node = paths.NodeOfKey(gap.folderKey);
    std::string folder = node && *node != FolderTreeModel::kRoot ? tree.Path(*node) : "/";
    described.push_back({std::move(folder), gap.sector});
  }
  return described;
}

}  // namespace salvex
