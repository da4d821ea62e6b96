#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <unordered_map>

#include "items/folder_tree_model.h"

namespace salvex::wizard {

// The files and folders marked with the check boxes of the item list and the
// items tree, across folders, for Recover Marked. A marked folder stands for
// everything below it; unmarking something below a marked folder marks that
// folder's other contents instead, so a mark always means "this and all
// below it". Files are known by their store position and their folder's
// tree node.
class MarkedItems {
 public:
  // The files directly in a folder's node, by store position.
  using FilesOfNode = std::function<std::span<const std::uint32_t>(TreeNodeId node)>;

  enum class State { unmarked, partly, marked };

  void Clear();
  bool Empty() const { return folders_.empty() && files_.empty(); }

  void SetFolder(const FolderTreeModel& tree, const FilesOfNode& filesOf, TreeNodeId node, bool marked);
  void SetFile(const FolderTreeModel& tree, const FilesOfNode& filesOf, std::uint32_t position, TreeNodeId parent,
               bool marked);

  // Marked (itself or a folder above it), partly (something below it is),
  // or not at all.
  State FolderState(const FolderTreeModel& tree, TreeNodeId node) const;
  bool FileMarked(const FolderTreeModel& tree, std::uint32_t position, TreeNodeId parent) const;

  // The marks as they stand: no folder or file in the sets lies below a
  // marked folder.
  const std::set<TreeNodeId>& Folders() const { return folders_; }
  const std::set<std::uint32_t>& Files() const { return files_; }

 private:
  // The marked folder at or above `node`, if any.
  std::optional<TreeNodeId> MarkedAncestor(const FolderTreeModel& tree, TreeNodeId node) const;
  // Counts a mark at `node` (a folder's own, or a file's folder) in every
  // folder above it: what makes them "partly".
  void CountAbove(const FolderTreeModel& tree, TreeNodeId node, bool self, int change);
  void AddFolder(const FolderTreeModel& tree, TreeNodeId node);
  void RemoveFolder(const FolderTreeModel& tree, TreeNodeId node);
  void AddFile(const FolderTreeModel& tree, std::uint32_t position, TreeNodeId parent);
  void RemoveFile(const FolderTreeModel& tree, std::uint32_t position, TreeNodeId parent);
  // Drops every mark below `node` (it is about to stand for them).
  void DropBelow(const FolderTreeModel& tree, const FilesOfNode& filesOf, TreeNodeId node);
  // Replaces the mark of folder `from` by marks on everything below it but
  // the way down to `keepOut` (a folder node below it, or the folder of the
  // file `keepOutFile`), which is left unmarked.
  void SplitMark(const FolderTreeModel& tree, const FilesOfNode& filesOf, TreeNodeId from, TreeNodeId keepOut,
                 std::optional<std::uint32_t> keepOutFile);

  std::set<TreeNodeId> folders_;
  std::set<std::uint32_t> files_;
  std::unordered_map<std::uint32_t, TreeNodeId> fileParents_;
  std::unordered_map<TreeNodeId, std::uint32_t> marksBelow_;
};

}  // namespace salvex::wizard
