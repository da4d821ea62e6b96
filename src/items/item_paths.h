#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "items/folder_tree_model.h"
#include "items/item_store.h"
#include "items/volume_kind.h"

namespace salvex {

// Where a store's items stand in its folder tree: "/"-separated paths from
// the volume's root ("Documents/report.doc"); nothing for an item the tree
// does not reach.
template <typename Kind>
class ItemPaths {
 public:
  ItemPaths(const ItemStore& store, const FolderTreeModel& tree) : store_(store), tree_(tree) {
    folderOfNode_.resize(tree.NodeCount() + FolderTreeModel::kRoot);
    const auto& folders = Kind::Folders(store).Items();
    for (std::uint32_t i = 0; i < folders.size(); ++i) {
      if (tree.Contains(folders[i].treeNode)) folderOfNode_[folders[i].treeNode] = i;
    }
  }

  std::optional<std::string> FolderPath(std::uint32_t position) const {
    const TreeNodeId node = Kind::Folders(store_).Items()[position].treeNode;
    if (!tree_.Contains(node)) return std::nullopt;
    return tree_.Path(node);
  }

  std::optional<std::string> FilePath(std::uint32_t position) const {
    const auto& file = Kind::Files(store_).Items()[position];
    const auto parent = NodeOfKey(Kind::ParentOf(file));
    if (!parent) return std::nullopt;
    const std::string folderPath = tree_.Path(*parent);
    return folderPath.empty() ? file.name : folderPath + "/" + file.name;
  }

  // The tree node of a parent key: the root for the root key.
  std::optional<TreeNodeId> NodeOfKey(std::uint32_t key) const {
    if (key == Kind::kRootKey) return FolderTreeModel::kRoot;
    const auto folder = Kind::FindFolder(store_, key);
    if (!folder) return std::nullopt;
    const TreeNodeId node = Kind::Folders(store_).Items()[*folder].treeNode;
    if (!tree_.Contains(node)) return std::nullopt;
    return node;
  }

  // The folder placed at a tree node.
  std::optional<std::uint32_t> FolderOfNode(TreeNodeId node) const {
    return node < folderOfNode_.size() ? folderOfNode_[node] : std::nullopt;
  }

 private:
  const ItemStore& store_;
  const FolderTreeModel& tree_;
  std::vector<std::optional<std::uint32_t>> folderOfNode_;
};

using FatItemPaths = ItemPaths<FatKind>;
using NtfsItemPaths = ItemPaths<NtfsKind>;

}  // namespace salvex
