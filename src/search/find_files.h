#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "items/folder_tree_model.h"
#include "items/item_store.h"
#include "common/sector.h"

namespace salvex {

// Where a search by content found its text.
struct TextHit {
  // In a file: bytes from its start to the first hit. In free space: bytes
  // from the start of `freeSector`.
  std::uint64_t offset = 0;
  std::uint64_t count = 0;  // hits in the file, or in the stretch of free clusters
  // A hit in free space, in no file: the sector of its first hit (the row
  // then names no file).
  std::optional<SectorNumber> freeSector;
};

// One row of the Find Files result list.
struct FoundFileRow {
  std::string name;  // upper-cased
  std::string path;  // "\" followed by the parent folder's path in the tree, "\"-separated
  std::uint64_t size = 0;
  // False when no folder of the tree leads to the file (its path is then
  // "\", which does not say where it is). A tree that the tree build made
  // leads to every file: one whose folder was never found is in "Lost Files".
  bool reachable = true;
  bool deleted = false;
  // The file's position in the store's file list, and its folder's tree
  // node (0 when unreachable): how a window leads from the row to the file.
  std::uint32_t position = 0;
  TreeNodeId folderNode = 0;
  // Found by its content: where.
  std::optional<TextHit> text;
};

// The rows of one half of a store as FindFiles gives them, for a search
// that walks the files itself. Made once per search: it indexes the tree.
class FoundRows {
 public:
  FoundRows(const ItemStore& store, const FolderTreeModel& tree, bool ntfs);
  ~FoundRows();
  FoundRows(const FoundRows&) = delete;
  FoundRows& operator=(const FoundRows&) = delete;

  std::uint32_t FileCount() const;
  // Whether file `position`'s name, upper-cased, matches `upperPattern`.
  bool NameMatches(std::uint32_t position, std::u32string_view upperPattern) const;
  FoundFileRow Row(std::uint32_t position) const;

 private:
  struct Paths;
  const ItemStore& store_;
  const FolderTreeModel& tree_;
  bool ntfs_;
  std::unique_ptr<Paths> paths_;
};

// Searches the store's files (its NTFS half when `ntfs`) for names matching
// `pattern`, both upper-cased, in list order; `onRow` gets each hit as it is
// found (and may be empty). Ends early when `stop` is raised. An empty
// pattern matches nothing.
std::vector<FoundFileRow> FindFiles(const ItemStore& store, const FolderTreeModel& tree, bool ntfs,
                                    std::string_view pattern, const std::atomic<bool>& stop,
                                    const std::function<void(const FoundFileRow&, std::size_t)>& onRow = {});

}  // namespace salvex
