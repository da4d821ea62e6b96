#pragma once

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "items/folder_tree.h"

namespace salvex {

// A column of a tree drawn as a table (the disks with their sizes): its
// heading, and whether its cells are numbers, which line up on the right.
struct TreeColumn {
  std::string heading;
  bool numbers = false;
};

// A folder tree held in memory: the command line prints it, and paths of
// recovered items are read from it. Node 1 is the root (the volume); the
// folders' nodes follow in the order the tree build placed them.
class FolderTreeModel final : public FolderTreeSink {
 public:
  static constexpr TreeNodeId kRoot = 1;

  FolderTreeModel();

  TreeNodeId InsertNode(TreeNodeId parent, std::string_view text, int image, int selectedImage) override;
  void ExpandNode(TreeNodeId) override {}

  bool Contains(TreeNodeId node) const { return node >= kRoot && node - kRoot < nodes_.size(); }
  const std::vector<TreeNodeId>& Children(TreeNodeId node) const { return At(node).children; }
  const std::string& Text(TreeNodeId node) const { return At(node).text; }
  // The root's caption, or a renamed folder's text.
  void SetText(TreeNodeId node, std::string_view text) { nodes_[node - kRoot].text = text; }
  TreeNodeId Parent(TreeNodeId node) const { return At(node).parent; }
  // What a pointer resting on the node is told: its text unless set (a
  // disk's path, model and size).
  const std::string& ToolTip(TreeNodeId node) const {
    const auto found = toolTips_.find(node);
    return found != toolTips_.end() ? found->second : Text(node);
  }
  void SetToolTip(TreeNodeId node, std::string_view text) { toolTips_[node] = text; }
  // A tree with columns: the first is the nodes' texts, each further one
  // holds a cell per node (empty unless set). None: the texts alone.
  void SetColumns(std::vector<TreeColumn> columns) { columns_ = std::move(columns); }
  const std::vector<TreeColumn>& Columns() const { return columns_; }
  // The node's cells of the columns after the first, in their order.
  void SetCells(TreeNodeId node, std::vector<std::string> cells) { cells_[node] = std::move(cells); }
  // What the node shows in a column: its text in the first.
  const std::string& Cell(TreeNodeId node, std::size_t column) const;
  // "/"-separated from the root, which itself is ""; the root's children have
  // one component: "Documents", "Documents/Letters". Built on demand, so a
  // deeply nested tree does not hold every path at once.
  std::string Path(TreeNodeId node, char separator = '/') const;
  std::size_t NodeCount() const { return nodes_.size(); }

 private:
  struct Node {
    std::string text;
    TreeNodeId parent = 0;
    std::vector<TreeNodeId> children;
  };
  const Node& At(TreeNodeId node) const { return nodes_[node - kRoot]; }

  std::vector<Node> nodes_;
  std::unordered_map<TreeNodeId, std::string> toolTips_;  // few nodes have one
  std::vector<TreeColumn> columns_;
  std::unordered_map<TreeNodeId, std::vector<std::string>> cells_;  // only a table's nodes have them
};

}  // namespace salvex
