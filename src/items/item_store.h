#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "items/item_list.h"
#include "items/items.h"

namespace salvex {

struct ItemCounters {
  std::uint32_t folderCount = 0;      // "Folder(s) Found"
  std::uint32_t fileCount = 0;        // "File(s) Found"; the adding caller counts files
  std::uint32_t entriesSeen = 0;      // directory entries accepted, for the walk's progress
  std::uint32_t treePlacedCount = 0;  // folders placed by the tree build, for its progress
  // Deleted folders the walk could not read whole: their first cluster holds
  // something else, or is full and their later clusters are no longer
  // chained. The sweep of an Advance Scan can find what they held.
  std::uint32_t deletedFoldersNotReadWhole = 0;
  // What the deleted entries of a FAT32 volume show of the driver that
  // deleted them: entries that still name a cluster past 65,535 (it keeps
  // the high word, as Linux and mtools do), and deleted folders found past
  // 65,535 by their own "." entry while their entry names the low word
  // alone (it clears it, as Windows does).
  std::uint32_t deletedEntriesKeepingHighWord = 0;
  std::uint32_t deletedFoldersFoundPastLowWord = 0;
};

// A directory sector that could not be read: the entries it held are not
// in the store.
struct UnreadableDirectorySector {
  std::uint32_t folderKey = 0;  // the folder's first cluster (0: the root)
  SectorNumber sector = 0;
};

// The recovered folders and files of the last scan or snapshot load.
class ItemStore {
 public:
  ItemCounters counters;
  std::vector<UnreadableDirectorySector> unreadableDirectorySectors;  // FAT, in the order met

  // Adds a folder, keyed by its first cluster. Of two with the same first
  // cluster the live one keeps the key, whichever came first, and a deleted
  // one beside it is kept as `overwritten` (Windows reuses a deleted folder's
  // clusters); otherwise the first one found keeps it and the other is
  // dropped (a cross-linked or repeated entry).
  void AddFatFolder(std::string name, std::uint32_t firstCluster, std::uint32_t parentCluster,
                    std::uint16_t writeDate, std::uint16_t accessDate, std::uint64_t treeNode, bool deleted);
  // Adds a file whose id is the current file count; the caller counts it.
  void AddFatFile(std::string name, std::uint32_t firstCluster, std::uint32_t parentCluster, std::uint16_t writeDate,
                  std::uint16_t accessDate, std::uint64_t size, bool deleted, bool highWordCleared = false);
  void AddFatFile(FatFileItem file);
  // An Advance Scan keeps one folder per record number (`unique`); a Standard
  // Scan keeps every record it read.
  void AddNtfsFolder(std::string name, std::uint32_t recordNumber, std::uint32_t parentRecord, std::uint64_t created,
                     std::uint64_t changed, std::uint64_t treeNode, bool deleted, bool unique);
  void AddNtfsFile(SectorNumber recordSector, std::string name, std::uint32_t recordNumber,
                   std::uint32_t parentRecord, std::uint64_t created, std::uint64_t changed, std::uint64_t size,
                   bool deleted, bool compressedOrEncrypted = false, bool beyondVolume = false);

  void ClearFatItems();
  void ClearNtfsItems();

  const ItemList<FatFolderItem>& FatFolders() const { return fatFolders_; }
  const ItemList<FatFileItem>& FatFiles() const { return fatFiles_; }
  const ItemList<NtfsFolderItem>& NtfsFolders() const { return ntfsFolders_; }
  const ItemList<NtfsFileItem>& NtfsFiles() const { return ntfsFiles_; }
  // For the tree build (tree nodes) and renames (names).
  ItemList<FatFolderItem>& FatFolders() { return fatFolders_; }
  ItemList<NtfsFolderItem>& NtfsFolders() { return ntfsFolders_; }
  ItemList<FatFileItem>& FatFiles() { return fatFiles_; }
  ItemList<NtfsFileItem>& NtfsFiles() { return ntfsFiles_; }

  // Marks a deleted folder `overwritten`: a live file now starts in its
  // first cluster. It then names no key.
  void MarkFatFolderOverwritten(std::uint32_t position);
  // Position in FatFolders() of the folder with this first cluster.
  std::optional<std::uint32_t> FindFatFolder(std::uint32_t firstCluster) const;
  // Position in NtfsFolders() of the first folder with this record number.
  std::optional<std::uint32_t> FindNtfsFolder(std::uint32_t recordNumber) const;

 private:
  ItemList<FatFolderItem> fatFolders_;
  ItemList<FatFileItem> fatFiles_;
  ItemList<NtfsFolderItem> ntfsFolders_;
  ItemList<NtfsFileItem> ntfsFiles_;
  std::unordered_map<std::uint32_t, std::uint32_t> fatFolderByCluster_;
  std::unordered_map<std::uint32_t, std::uint32_t> ntfsFolderByRecord_;
};

}  // namespace salvex
