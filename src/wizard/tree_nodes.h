#pragma once

#include <cstdint>
#include <unordered_map>

#include "items/folder_tree.h"

namespace salvex::wizard {

// What a node of the disk, partition or found-file-system tree stands for.
// A click is answered from this, never from the node's caption.
enum class NodeKind {
  none,             // a root with nothing behind it ("My Computer", "File Systems")
  disk,             // index: the disk's slot in the disk table
  wholeDisk,        // the partitions tree's root; index: the disk's slot
  partition,        // index: the record in the partition table
  foundFileSystem,  // index: the position in the found list
};

struct TreeNode {
  NodeKind kind = NodeKind::none;
  std::uint32_t index = 0;
  bool operator==(const TreeNode&) const = default;
};

// The typed payloads of one tree's nodes, beside the tree that holds their
// captions. A node never given one is NodeKind::none.
class TreeNodes {
 public:
  void Set(TreeNodeId node, TreeNode payload) { nodes_[node] = payload; }
  TreeNode Of(TreeNodeId node) const {
    const auto found = nodes_.find(node);
    return found != nodes_.end() ? found->second : TreeNode{};
  }
  void Clear() { nodes_.clear(); }

 private:
  std::unordered_map<TreeNodeId, TreeNode> nodes_;
};

}  // namespace salvex::wizard
