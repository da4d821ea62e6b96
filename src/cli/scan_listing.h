#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>

#include "items/folder_tree_model.h"
#include "items/item_store.h"
#include "recovery/recovery_admission.h"
#include "session/unread_marks.h"

namespace salvex::cli {

// What stands above the items found that no folder of the tree leads to.
inline constexpr const char* kUnreachableHeading = "Found, but not reachable from the root folder:";

// The recovered tree as a table: each folder's subfolders (with their
// contents) first, then its files, indented by depth, with the item list's
// columns and "DEL" in front of deleted items. Items the tree cannot reach
// are listed after it. `ntfs` chooses the NTFS half of the store; files the
// filters refuse are left out (folders never are). With `marks` (an
// image's map), an item whose sectors were not read says how many.
void PrintListing(std::ostream& out, const ItemStore& store, const FolderTreeModel& tree, bool ntfs,
                  const FileFilter& passes, const UnreadMarks* marks = nullptr);

// The mark of an item with `sectors` unread, as the listings show it.
std::string UnreadMark(std::uint64_t sectors);

// Every item of the store's FAT or NTFS half as one JSON array: folders, then
// files, in the order found; with `marks`, each has its "unreadSectors".
// With `intact`, each file has its "intact" verdict: true, false or null.
using IntactVerdict = std::function<std::optional<bool>(std::uint32_t filePosition)>;
void PrintItemsJson(std::ostream& out, const ItemStore& store, const FolderTreeModel& tree, bool ntfs,
                    const FileFilter& passes, const UnreadMarks* marks = nullptr,
                    const IntactVerdict& intact = {});

}  // namespace salvex::cli
