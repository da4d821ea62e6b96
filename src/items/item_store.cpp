#include "items/item_store.h"

namespace salvex {

void ItemStore::AddFatFolder(std::string name, std::uint32_t firstCluster, std::uint32_t parentCluster,
                             std::uint16_t writeDate, std::uint16_t accessDate, std::uint64_t treeNode,
                             bool deleted) {
  const auto position = static_cast<std::uint32_t>(fatFolders_.Size());
  FatFolderItem folder{std::move(name), firstCluster, parentCluster, writeDate, accessDate, treeNode, deleted};
  const auto [holder, isNew] = fatFolderByCluster_.emplace(firstCluster, position);
  if (!isNew) {
    FatFolderItem& held = fatFolders_.At(holder->second);
    if (deleted == held.deleted) return;
    // Live and deleted on one cluster: the live one is the cluster's folder.
    if (deleted) {
      folder.overwritten = true;
    } else {
      held.overwritten = true;
      holder->second = position;
    }
  }
  fatFolders_.Append(std::move(folder), parentCluster);
  ++counters.folderCount;
}

void ItemStore::MarkFatFolderOverwritten(std::uint32_t position) {
  FatFolderItem& folder = fatFolders_.At(position);
  if (!folder.deleted || folder.overwritten) return;
  folder.overwritten = true;
  const auto holder = fatFolderByCluster_.find(folder.firstCluster);
  if (holder != fatFolderByCluster_.end() && holder->second == position) fatFolderByCluster_.erase(holder);
}

void ItemStore::AddFatFile(std::string name, std::uint32_t firstCluster, std::uint32_t parentCluster,
                           std::uint16_t writeDate, std::uint16_t accessDate, std::uint64_t size, bool deleted,
                           bool highWordCleared) {
  FatFileItem file;
  file.name = std::move(name);
  file.firstCluster = firstCluster;
  file.parentCluster = parentCluster;
  file.writeDate = writeDate;
  file.accessDate = accessDate;
  file.size = size;
  file.deleted = deleted;
  file.highWordCleared = highWordCleared;
  AddFatFile(std::move(file));
}

void ItemStore::AddFatFile(FatFileItem file) {
  file.id = counters.fileCount;
  const std::uint32_t parent = file.parentCluster;
  fatFiles_.Append(std::move(file), parent);
}

void ItemStore::AddNtfsFolder(std::string name, std::uint32_t recordNumber, std::uint32_t parentRecord,
                              std::uint64_t created, std::uint64_t changed, std::uint64_t treeNode, bool deleted,
                              bool unique) {
  const auto position = static_cast<std::uint32_t>(ntfsFolders_.Size());
  const bool isNew = ntfsFolderByRecord_.emplace(recordNumber, position).second;
  if (unique && !isNew) return;
  ntfsFolders_.Append({std::move(name), recordNumber, parentRecord, created, changed, treeNode, deleted},
                      parentRecord);
  ++counters.folderCount;
}

void ItemStore::AddNtfsFile(SectorNumber recordSector, std::string name, std::uint32_t recordNumber,
                            std::uint32_t parentRecord, std::uint64_t created, std::uint64_t changed,
                            std::uint64_t size, bool deleted, bool compressedOrEncrypted, bool beyondVolume) {
  ntfsFiles_.Append({std::move(name), recordNumber, parentRecord, created, changed, size, deleted, recordSector,
                     compressedOrEncrypted, beyondVolume},
                    parentRecord);
}

void ItemStore::ClearFatItems() {
  fatFolders_.Clear();
  fatFiles_.Clear();
  fatFolderByCluster_.clear();
  unreadableDirectorySectors.clear();
  counters.folderCount = 0;
  counters.fileCount = 0;
  counters.entriesSeen = 0;
  counters.deletedFoldersNotReadWhole = 0;
}

void ItemStore::ClearNtfsItems() {
  ntfsFolders_.Clear();
  ntfsFiles_.Clear();
  ntfsFolderByRecord_.clear();
  counters.folderCount = 0;
  counters.fileCount = 0;
}

std::optional<std::uint32_t> ItemStore::FindFatFolder(std::uint32_t firstCluster) const {
  const auto found = fatFolderByCluster_.find(firstCluster);
  if (found == fatFolderByCluster_.end()) return std::nullopt;
  return found->second;
}

std::optional<std::uint32_t> ItemStore::FindNtfsFolder(std::uint32_t recordNumber) const {
  const auto found = ntfsFolderByRecord_.find(recordNumber);
  if (found == ntfsFolderByRecord_.end()) return std::nullopt;
  return found->second;
}

}  // namespace salvex
