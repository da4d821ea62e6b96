#include "wizard/marked_items.h"

#include <vector>

namespace salvex::wizard {
namespace {

constexpr TreeNodeId kRoot = FolderTreeModel::kRoot;

}  // namespace

void MarkedItems::Clear() {
  folders_.clear();
  files_.clear();
  fileParents_.clear();
  marksBelow_.clear();
}

std::optional<TreeNodeId> MarkedItems::MarkedAncestor(const FolderTreeModel& tree, TreeNodeId node) const {
  // Up to the root: every parent is nearer it, so the walk ends.
  while (tree.Contains(node)) {
    if (folders_.contains(node)) return node;
    if (node == kRoot) break;
    node = tree.Parent(node);
  }
  return std::nullopt;
}

void MarkedItems::CountAbove(const FolderTreeModel& tree, TreeNodeId node, bool self, int change) {
  if (!tree.Contains(node)) return;
  if (!self) {
    marksBelow_[node] += static_cast<std::uint32_t>(change);
  }
  while (node != kRoot) {
    node = tree.Parent(node);
    if (!tree.Contains(node)) return;
    marksBelow_[node] += static_cast<std::uint32_t>(change);
  }
}

void MarkedItems::AddFolder(const FolderTreeModel& tree, TreeNodeId node) {
  if (folders_.insert(node).second) CountAbove(tree, node, true, 1);
}

void MarkedItems::RemoveFolder(const FolderTreeModel& tree, TreeNodeId node) {
  if (folders_.erase(node) != 0) CountAbove(tree, node, true, -1);
}

void MarkedItems::AddFile(const FolderTreeModel& tree, std::uint32_t position, TreeNodeId parent) {
  if (!files_.insert(position).second) return;
  fileParents_[position] = parent;
  CountAbove(tree, parent, false, 1);
}

void MarkedItems::RemoveFile(const FolderTreeModel& tree, std::uint32_t position, TreeNodeId parent) {
  if (files_.erase(position) == 0) return;
  fileParents_.erase(position);
  CountAbove(tree, parent, false, -1);
}

void MarkedItems::DropBelow(const FolderTreeModel& tree, const FilesOfNode& filesOf, TreeNodeId node) {
  std::vector<TreeNodeId> pending{node};
  while (!pending.empty()) {
    const TreeNodeId at = pending.back();
    pending.pop_back();
    if (!tree.Contains(at) || marksBelow_[at] == 0) continue;
    for (const std::uint32_t position : filesOf(at)) RemoveFile(tree, position, at);
    for (const TreeNodeId child : tree.Children(at)) {
      RemoveFolder(tree, child);
      pending.push_back(child);
    }
  }
}

void MarkedItems::SplitMark(const FolderTreeModel& tree, const FilesOfNode& filesOf, TreeNodeId from,
                            TreeNodeId keepOut, std::optional<std::uint32_t> keepOutFile) {
  // The folders from `keepOut` up to `from`: each loses its mark, and its
  // other children and files take it.
  std::vector<TreeNodeId> way{keepOut};
  while (way.back() != from && way.back() != kRoot && tree.Contains(way.back())) way.push_back(tree.Parent(way.back()));
  RemoveFolder(tree, from);
  for (std::size_t i = way.size(); i-- > 1;) {
    const TreeNodeId folder = way[i];
    const TreeNodeId next = way[i - 1];
    for (const TreeNodeId child : tree.Children(folder)) {
      if (child != next) AddFolder(tree, child);
    }
    for (const std::uint32_t position : filesOf(folder)) AddFile(tree, position, folder);
  }
  // The folder at the bottom: a file kept out leaves its siblings marked; a
  // folder kept out is left unmarked whole.
  if (keepOutFile) {
    for (const TreeNodeId child : tree.Children(keepOut)) AddFolder(tree, child);
    for (const std::uint32_t position : filesOf(keepOut)) {
      if (position != *keepOutFile) AddFile(tree, position, keepOut);
    }
  }
}

void MarkedItems::SetFolder(const FolderTreeModel& tree, const FilesOfNode& filesOf, TreeNodeId node, bool marked) {
  if (!tree.Contains(node)) return;
  const auto above = MarkedAncestor(tree, node);
  if (marked) {
    if (above) return;
    DropBelow(tree, filesOf, node);
    AddFolder(tree, node);
    return;
  }
  if (above && *above != node) {
    SplitMark(tree, filesOf, *above, node, std::nullopt);
  } else {
    RemoveFolder(tree, node);
  }
  DropBelow(tree, filesOf, node);
}

void MarkedItems::SetFile(const FolderTreeModel& tree, const FilesOfNode& filesOf, std::uint32_t position,
                          TreeNodeId parent, bool marked) {
  const auto above = MarkedAncestor(tree, parent);
  if (marked) {
    if (!above) AddFile(tree, position, parent);
    return;
  }
  if (above) SplitMark(tree, filesOf, *above, parent, position);
  RemoveFile(tree, position, parent);
}

MarkedItems::State MarkedItems::FolderState(const FolderTreeModel& tree, TreeNodeId node) const {
  if (MarkedAncestor(tree, node)) return State::marked;
  const auto below = marksBelow_.find(node);
  return below != marksBelow_.end() && below->second > 0 ? State::partly : State::unmarked;
}

bool MarkedItems::FileMarked(const FolderTreeModel& tree, std::uint32_t position, TreeNodeId parent) const {
  return files_.contains(position) || MarkedAncestor(tree, parent).has_value();
}

}  // namespace salvex::wizard
