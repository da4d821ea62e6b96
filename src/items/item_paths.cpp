#include "items/item_paths.h"

namespace salvex {

FatItemPaths::FatItemPaths(const ItemStore& store, const FolderTreeModel& tree) : store_(store), tree_(tree) {
  folderOfNode_.resize(tree.NodeCount() + FolderTreeModel::kRoot);
  const auto& folders = store.FatFolders().Items();
  for (std::uint32_t i = 0; i < folders.size(); ++i) {
    if (tree.Contains(folders[i].treeNode)) folderOfNode_[folders[i].treeNode] = i;
  }
}

std::optional<std::uint32_t> FatItemPaths::FolderOfNode(TreeNodeId node) const {
  return node < folderOfNode_.size() ? folderOfNode_[node] : std::nullopt;
}

std::optional<TreeNodeId> FatItemPaths::NodeOfKey(std::uint32_t key) const {
  if (key == kFatRootKey) return FolderTreeModel::kRoot;
  const auto folder = store_.FindFatFolder(key);
  if (!folder) return std::nullopt;
  const TreeNodeId node = store_.FatFolders().Items()[*folder].treeNode;
  if (!tree_.Contains(node)) return std::nullopt;
  return node;
}

std::optional<std::string> FatItemPaths::FolderPath(std::uint32_t position) const {
  const TreeNodeId node = store_.FatFolders().Items()[position].treeNode;
  if (!tree_.Contains(node)) return std::nullopt;
  return tree_.Path(node);
}

std::optional<std::string> FatItemPaths::FilePath(std::uint32_t position) const {
  const FatFileItem& file = store_.FatFiles().Items()[position];
  const auto parent = NodeOfKey(file.parentCluster);
  if (!parent) return std::nullopt;
  const std::string& folderPath = tree_.Path(*parent);
  return folderPath.empty() ? file.name : folderPath + "/" + file.name;
}

}  // namespace salvex
