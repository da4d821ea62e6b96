#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "items/item_store.h"
#include "platform/ui_port.h"

namespace salvex {

using TreeNodeId = std::uint64_t;

// Where the folder tree is drawn: the GUI's tree widget, the command line's
// printer, or a test recorder. Node ids must not be 0 (0 means "no node").
class FolderTreeSink {
 public:
  virtual ~FolderTreeSink() = default;
  // Inserts a node as the last child of `parent` and returns its id.
  virtual TreeNodeId InsertNode(TreeNodeId parent, std::string_view text, int image, int selectedImage) = 0;
  virtual void ExpandNode(TreeNodeId node) = 0;
};

// Tree images: a closed folder normally, an open one when selected.
inline constexpr int kFolderImage = 2;
inline constexpr int kOpenFolderImage = 1;

// No real volume nests folders this deep (recovery re-creates no deeper
// ones either), nor has paths longer than Linux takes in one call
// (PATH_MAX). A folder that would lie deeper, or whose path would be longer,
// is placed with what it holds under a "Lost Files" node of the root instead,
// so that listings and paths grow with the number of items, not with the
// square of their nesting.
inline constexpr std::size_t kMaxTreeDepth = 256;
inline constexpr std::size_t kMaxTreePathBytes = 4096;
inline constexpr std::string_view kLostFilesName = "Lost Files";

// Places every folder reachable from the root key (0) under `rootNode`, depth
// first, children in the order they were found, and records each folder's node.
// A key already on the path from the root is placed but never descended into.
// Nothing found is left out: under "Lost Files" (made after the rest, only
// when needed) go the folders beyond those limits (with a notice that says how
// many went there), then every folder the root key does not reach, each with
// its own subtree (FindLostItems); the files whose parent folder was never
// found are listed in it too (ItemPaths).
void BuildFatFolderTree(ItemStore& store, FolderTreeSink& sink, UiPort& ui, TreeNodeId rootNode);

// The same over the NTFS folders, from root record 5.
void BuildNtfsFolderTree(ItemStore& store, FolderTreeSink& sink, UiPort& ui, TreeNodeId rootNode);

}  // namespace salvex
