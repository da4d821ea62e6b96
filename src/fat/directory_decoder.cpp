#include "fat/directory_decoder.h"

#include <algorithm>
#include <array>
#include <string>

#include "common/sector.h"

namespace salvex {
namespace {

constexpr unsigned kEntriesPerSector = 16;

void ReportEntry(DirectoryDecodeContext& context, const DirectoryEntry& entry) {
  ItemCounters& counters = context.store.counters;
  ++counters.entriesSeen;
  if (!context.ui) return;
  UiPort& ui = *context.ui;
  if (entry.isFolder) {
    ui.SetPanelValue(panel::kFoldersFound, std::to_string(counters.folderCount));
  } else {
    ui.SetPanelValue(panel::kFilesFound, std::to_string(counters.fileCount));
  }
  const std::uint64_t percent = std::uint64_t{counters.entriesSeen} * 100 / context.progressClusters;
  ui.SetProgress(static_cast<int>(std::min<std::uint64_t>(percent, 100)));
  ui.SetPanelValue(panel::kLastItem, entry.name);
}

FatFileItem FileItemOf(const DirectoryEntry& entry, std::uint32_t parentCluster, bool deleted) {
  FatFileItem file;
  file.name = entry.name;
  file.firstCluster = entry.firstCluster;
  file.parentCluster = parentCluster;
  file.writeDate = entry.writeDate;
  file.writeTime = entry.writeTime;
  file.accessDate = entry.accessDate;
  file.size = entry.size;
  file.deleted = deleted;
  file.highWordCleared = entry.highWordCleared;
  file.labelEntry = entry.labelEntry;
  return file;
}

// A deleted entry that names a cluster past 65,535 was deleted by a driver
// that keeps the high word.
void CountKeptHighWord(ItemCounters& counters, const DirectoryEntry& entry, FsType fsType) {
  if (entry.deletedMark && fsType == FsType::fat32 && !entry.highWordCleared) ++counters.deletedEntriesKeepingHighWord;
}

// Names the folder that the sweep found at `firstCluster` under `parentCluster`.
bool NameFoundFolder(DirectoryDecodeContext& context, const DirectoryEntry& entry, std::uint32_t firstCluster,
                     std::uint32_t parentCluster, bool deleted) {
  ItemStore& store = context.store;
  const auto position = store.FindFatFolder(firstCluster);
  if (!position) return false;
  FatFolderItem& folder = store.FatFolders().At(*position);
  if (folder.parentCluster != parentCluster && parentCluster != kLostEntriesKey) return false;
  if (deleted && context.namedByLiveEntry.contains(*position)) return true;
  if (!deleted) context.namedByLiveEntry.insert(*position);
  folder.name = entry.name;
  folder.deleted = deleted;
  return true;
}

// The sweep found the folder with its whole first cluster (from its "."
// entry): an entry that lost its high word names the first that matches.
void NameFoundFolderOfLowWord(DirectoryDecodeContext& context, const DirectoryEntry& entry,
                              std::uint32_t parentCluster, bool deleted) {
  ItemStore& store = context.store;
  const std::uint32_t low = entry.firstCluster;
  if (!entry.highWordCleared || low > 0xFFFF || parentCluster == kLostEntriesKey ||
      context.limits.lastCluster <= 0xFFFF) {
    NameFoundFolder(context, entry, low, parentCluster, deleted);
    return;
  }
  // The folder must be one of the parent's: its children are at hand by key.
  for (const std::uint32_t position : store.FatFolders().ChildrenOf(parentCluster)) {
    const std::uint32_t cluster = store.FatFolders().Items()[position].firstCluster;
    if ((cluster & 0xFFFF) == low && cluster <= context.limits.lastCluster) {
      if (NameFoundFolder(context, entry, cluster, parentCluster, deleted) && cluster > 0xFFFF) {
        ++store.counters.deletedFoldersFoundPastLowWord;
      }
      return;
    }
  }
}

}  // namespace

bool DecodeDirectorySector(DirectoryDecodeContext& context, Bytes sector, std::uint32_t parentCluster,
                           SectorNumber sectorNumber, bool inheritedDeleted, unsigned firstIndex,
                           Bytes previousSectors) {
  if (context.ui) context.ui->SetPanelValue(panel::kCurrentSector, std::to_string(sectorNumber));
  // Entries are decoded within [previous sectors | this sector], so that
  // long names may reach back across sector boundaries.
  std::array<std::uint8_t, (kLongNameReachSectors + 1) * kSectorSize> window{};
  unsigned offset = 0;
  Bytes entries = sector.first(std::min(sector.size(), kSectorSize));
  const std::size_t reach = std::min(previousSectors.size() / kSectorSize, kLongNameReachSectors);
  if (reach > 0 && entries.size() == kSectorSize) {
    const Bytes kept = previousSectors.last(reach * kSectorSize);
    std::copy(kept.begin(), kept.end(), window.begin());
    std::copy(entries.begin(), entries.end(), window.begin() + kept.size());
    entries = Bytes(window).first(kept.size() + kSectorSize);
    offset = static_cast<unsigned>(reach * kEntriesPerSector);
  }
  ItemStore& store = context.store;
  for (unsigned index = firstIndex; index < kEntriesPerSector; ++index) {
    DirectoryEntry entry = DecodeDirectoryEntry(entries, offset + index, context.fsType, context.limits);
    if (entry.verdict == EntryVerdict::endOfDirectory) return true;
    if (entry.verdict != EntryVerdict::item) continue;
    const bool deleted = inheritedDeleted || entry.deletedMark;
    CountKeptHighWord(store.counters, entry, context.fsType);
    if (entry.isFolder && entry.highWordCleared && context.deletedClusters) {
      entry.firstCluster = context.deletedClusters->FolderCluster(entry.firstCluster, parentCluster, store);
    }
    if (entry.isFolder) {
      store.AddFatFolder(entry.name, entry.firstCluster, parentCluster, entry.writeDate, entry.accessDate, 0,
                         deleted);
    } else {
      store.AddFatFile(FileItemOf(entry, parentCluster, deleted));
      ++store.counters.fileCount;
    }
    ReportEntry(context, entry);
  }
  return false;
}

bool DecodeDirectorySectors(DirectoryDecodeContext& context, Bytes sectors, std::uint32_t parentCluster,
                            bool inheritedDeleted, unsigned firstIndex) {
  ItemStore& store = context.store;
  const auto entryCount = static_cast<unsigned>(sectors.size() / kSectorSize * kEntriesPerSector);
  for (unsigned index = firstIndex; index < entryCount; ++index) {
    DirectoryEntry entry = DecodeDirectoryEntry(sectors, index, context.fsType, context.limits);
    if (entry.verdict == EntryVerdict::endOfDirectory) return true;
    if (entry.verdict != EntryVerdict::item) continue;
    const bool deleted = inheritedDeleted || entry.deletedMark;
    CountKeptHighWord(store.counters, entry, context.fsType);
    if (entry.isFolder && entry.size == 0) {
      NameFoundFolderOfLowWord(context, entry, parentCluster, deleted);
      continue;
    }
    store.AddFatFile(FileItemOf(entry, parentCluster, deleted));
    ++store.counters.fileCount;
  }
  return false;
}

}  // namespace salvex
