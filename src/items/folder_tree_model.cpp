#include "items/folder_tree_model.h"

#include <vector>

namespace salvex {

FolderTreeModel::FolderTreeModel() { nodes_.push_back({}); }

TreeNodeId FolderTreeModel::InsertNode(TreeNodeId parent, std::string_view text, int, int) {
  if (!Contains(parent)) parent = kRoot;
  const TreeNodeId id = kRoot + nodes_.size();
  nodes_[parent - kRoot].children.push_back(id);
  nodes_.push_back({std::string(text), parent, {}});
  return id;
}

const std::string& FolderTreeModel::Cell(TreeNodeId node, std::size_t column) const {
  static const std::string kEmpty;
  if (column == 0) return Contains(node) ? Text(node) : kEmpty;
  const auto found = cells_.find(node);
  if (found == cells_.end() || column - 1 >= found->second.size()) return kEmpty;
  return found->second[column - 1];
}

std::string FolderTreeModel::Path(TreeNodeId node, char separator) const {
  std::vector<const std::string*> parts;
  for (; node != kRoot && Contains(node); node = At(node).parent) parts.push_back(&At(node).text);
  std::string path;
  for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
    if (!path.empty() && path.back() != separator) path += separator;
    path += **part;
  }
  return path;
}

}  // namespace salvex
