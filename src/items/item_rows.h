#pragma once

#include <string>

#include "items/items.h"

namespace salvex {

// The texts of one row of the item list: Name, Type, Size, Created,
// Modified, ID.
struct ItemRow {
  std::string name;
  std::string type;
  std::string size;
  std::string created;
  std::string modified;
  std::string id;
};

// What a FAT file's type ends with when its entry is a volume label's that
// holds clusters.
inline constexpr const char* kLabelEntryMark = " (volume label entry)";

// A folder's type is "Folder" or "Deleted Folder", its size "0", its ID its
// tree node. A file's type is its type name, after "Deleted " when deleted,
// and before kLabelEntryMark for a FAT label entry.
// FAT rows show the write date as Created and the access date as Modified.
ItemRow FatFolderRow(const FatFolderItem& folder);
ItemRow FatFileRow(const FatFileItem& file);
ItemRow NtfsFolderRow(const NtfsFolderItem& folder);
ItemRow NtfsFileRow(const NtfsFileItem& file);

}  // namespace salvex
