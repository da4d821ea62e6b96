#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "items/folder_tree_model.h"
#include "items/item_store.h"

namespace salvex {

// Where a FAT store's items stand in its folder tree: "/"-separated paths
// from the volume's root ("Documents/report.doc"); nothing for an item the
// tree does not reach.
class FatItemPaths {
 public:
  FatItemPaths(const ItemStore& store, const FolderTreeModel& tree);

  std::optional<std::string> FolderPath(std::uint32_t position) const;
  std::optional<std::string> FilePath(std::uint32_t position) const;
  // The tree node of a parent key: the root for key 0.
  std::optional<TreeNodeId> NodeOfKey(std::uint32_t key) const;
  // The folder placed at a tree node.
  std::optional<std::uint32_t> FolderOfNode(TreeNodeId node) const;

 private:
  const ItemStore& store_;
  const FolderTreeModel& tree_;
  std::vector<std::optional<std::uint32_t>> folderOfNode_;
};

}  // namespace salvex
