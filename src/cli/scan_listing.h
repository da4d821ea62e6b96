#pragma once

#include <ostream>

#include "items/folder_tree_model.h"
#include "items/item_store.h"

namespace salvex::cli {

// The recovered FAT tree as a table: each folder's subfolders (with their
// contents) first, then its files, indented by depth, with the item list's
// columns and "DEL" in front of deleted items. Items the tree cannot reach
// are listed after it.
void PrintFatListing(std::ostream& out, const ItemStore& store, const FolderTreeModel& tree);

// Every FAT item of the store as one JSON array: folders, then files, in the
// order found.
void PrintFatItemsJson(std::ostream& out, const ItemStore& store, const FolderTreeModel& tree);

}  // namespace salvex::cli
