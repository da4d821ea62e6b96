#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "items/folder_tree_model.h"
#include "items/item_store.h"
#include "items/lost_items.h"
#include "items/volume_kind.h"
#include "platform/host_folder.h"

namespace salvex {

// Where a store's items stand in its folder tree: "/"-separated paths from
// the volume's root ("Documents/report.doc"), each component the name
// recovery gives it on the host (SafeHostName: "a/b" is "a_b", ".." is "__");
// a file whose parent folder was never found lies in "Lost Files"; nothing
// for an item the tree does not reach.
template <typename Kind>
class ItemPaths {
 public:
  ItemPaths(const ItemStore& store, const FolderTreeModel& tree) : store_(store), tree_(tree) {
    folderOfNode_.resize(tree.NodeCount() + FolderTreeModel::kRoot);
    const auto& folders = Kind::Folders(store).Items();
    for (std::uint32_t i = 0; i < folders.size(); ++i) {
      if (tree.Contains(folders[i].treeNode)) folderOfNode_[folders[i].treeNode] = i;
    }
    // The tree build's own node: a child of the root that no folder owns.
    for (const TreeNodeId child : tree.Children(FolderTreeModel::kRoot)) {
      if (!FolderOfNode(child) && tree.Text(child) == kLostFilesName) lostFilesNode_ = child;
    }
  }

  std::optional<std::string> FolderPath(std::uint32_t position) const {
    const TreeNodeId node = Kind::Folders(store_).Items()[position].treeNode;
    if (!tree_.Contains(node)) return std::nullopt;
    return HostPath(node);
  }

  std::optional<std::string> FilePath(std::uint32_t position) const {
    const auto& file = Kind::Files(store_).Items()[position];
    const auto parent = NodeOfKey(Kind::ParentOf(file));
    if (!parent) return std::nullopt;
    std::string path = HostPath(*parent);
    if (!path.empty()) path += '/';
    return path + SafeHostName(file.name);
  }

  // The tree node of a parent key: the root for the root key, "Lost Files"
  // for a key that names no folder.
  std::optional<TreeNodeId> NodeOfKey(std::uint32_t key) const {
    if (key == Kind::kRootKey) return FolderTreeModel::kRoot;
    const auto folder = Kind::FindFolder(store_, key);
    if (!folder) return LostFilesNode();
    const TreeNodeId node = Kind::Folders(store_).Items()[*folder].treeNode;
    if (!tree_.Contains(node)) return std::nullopt;
    return node;
  }

  // The folder placed at a tree node.
  std::optional<std::uint32_t> FolderOfNode(TreeNodeId node) const {
    return node < folderOfNode_.size() ? folderOfNode_[node] : std::nullopt;
  }

  // The "Lost Files" node the tree build made, if it made one.
  std::optional<TreeNodeId> LostFilesNode() const {
    return lostFilesNode_ != 0 ? std::optional(lostFilesNode_) : std::nullopt;
  }
  bool IsLostFilesNode(TreeNodeId node) const { return lostFilesNode_ != 0 && lostFilesNode_ == node; }

  // The store key of the folder a node shows, the root key for the root;
  // none for "Lost Files" (or a node of no folder).
  std::optional<std::uint32_t> KeyOfNode(TreeNodeId node) const {
    if (node == FolderTreeModel::kRoot) return Kind::kRootKey;
    const auto position = FolderOfNode(node);
    if (!position) return std::nullopt;
    return Kind::ChildrenKey(Kind::Folders(store_).Items()[*position]);
  }

  // The files a node lists, as positions in the store: those of its
  // folder's key; for "Lost Files", those whose folder was never found.
  std::span<const std::uint32_t> FilesOfNode(TreeNodeId node) const {
    if (const auto key = KeyOfNode(node)) return Kind::Files(store_).ChildrenOf(*key);
    if (!IsLostFilesNode(node)) return {};
    if (!lostFilesListed_) {
      lostFiles_ = LostFilePositions<Kind>(store_);
      lostFilesListed_ = true;
    }
    return lostFiles_;
  }

 private:
  // A node's path from the root, one host name per folder. The tree is at
  // most kMaxTreeDepth (and "Lost Files") deep, so a path stays short.
  std::string HostPath(TreeNodeId node) const {
    std::vector<TreeNodeId> chain;
    for (; node != FolderTreeModel::kRoot && tree_.Contains(node); node = tree_.Parent(node)) chain.push_back(node);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      if (!path.empty()) path += '/';
      path += SafeHostName(tree_.Text(*it));
    }
    return path;
  }

  const ItemStore& store_;
  const FolderTreeModel& tree_;
  std::vector<std::optional<std::uint32_t>> folderOfNode_;
  TreeNodeId lostFilesNode_ = 0;  // 0: the tree has none (no node is 0)
  // Made on first use.
  mutable std::vector<std::uint32_t> lostFiles_;
  mutable bool lostFilesListed_ = false;
};

using FatItemPaths = ItemPaths<FatKind>;
using NtfsItemPaths = ItemPaths<NtfsKind>;

}  // namespace salvex
