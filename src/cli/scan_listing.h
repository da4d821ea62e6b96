#pragma once

#include <ostream>

#include "items/folder_tree_model.h"
#include "items/item_store.h"
#include "recovery/recovery_admission.h"

namespace salvex::cli {

// What stands above the items found that no folder of the tree leads to.
inline constexpr const char* kUnreachableHeading = "Found, but not reachable from the root folder:";

// The recovered tree as a table: each folder's subfolders (with their
// contents) first, then its files, indented by depth, with the item list's
// columns and "DEL" in front of deleted items. Items the tree cannot reach
// are listed after it. `ntfs` chooses the NTFS half of the store; files the
// filters refuse are left out (folders never are).
void PrintListing(std::ostream& out, const ItemStore& store, const FolderTreeModel& tree, bool ntfs,
                  const FileFilter& passes);

// Every item of the store's FAT or NTFS half as one JSON array: folders, then
// files, in the order found.
void PrintItemsJson(std::ostream& out, const ItemStore& store, const FolderTreeModel& tree, bool ntfs,
                    const FileFilter& passes);

}  // namespace salvex::cli
