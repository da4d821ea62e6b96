#include "items/folder_tree_model.h"

namespace salvex {

FolderTreeModel::FolderTreeModel() { nodes_.push_back({}); }

TreeNodeId FolderTreeModel::InsertNode(TreeNodeId parent, std::string_view text, int, int) {
  if (!Contains(parent)) parent = kRoot;
  const TreeNodeId id = kRoot + nodes_.size();
  const std::string& parentPath = At(parent).path;
  std::string path = parentPath.empty() ? std::string(text) : parentPath + "/" + std::string(text);
  nodes_[parent - kRoot].children.push_back(id);
  nodes_.push_back({std::string(text), std::move(path), {}});
  return id;
}

}  // namespace salvex
