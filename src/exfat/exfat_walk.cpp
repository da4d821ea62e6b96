#include "exfat/exfat_walk.h"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "exfat/exfat_bitmap.h"
#include "exfat/exfat_entry_set.h"
#include "exfat/exfat_chain.h"
#include "exfat/exfat_deleted_files.h"

namespace salvex {
namespace {

// No exFAT directory is larger than 256 MiB.
constexpr std::uint64_t kMaxDirectoryBytes = std::uint64_t{256} << 20;
// Directories are read this many sectors at a time, so Stop is seen soon.
constexpr std::uint32_t kReadSectors = 256;

// How a folder's directory lies on the disk, as its stream entry says.
struct FolderLayout {
  bool noFatChain = false;
  std::uint64_t dataLength = 0;
  bool fromDeletedEntry = false;
};

class ExfatWalk {
 public:
  ExfatWalk(VolumeContext& context, ItemStore& store)
      : context_(context),
        volume_(context.volume),
        store_(store),
        lastCluster_(ExfatLastCluster(volume_, LastVolumeSector(volume_, context.scan))),
        clusterBytes_(std::uint64_t{volume_.sectorsPerCluster} * kSectorSize) {}

  // Reads the root directory for its bitmap entry, and the bitmap; no item
  // is added.
  ExfatBitmap BitmapOnly() {
    if (lastCluster_ < 2 || clusterBytes_ == 0) return {};
    const std::vector<ClusterRun> runs = DirectoryRuns(volume_.RootCluster(), nullptr, false);
    const ExfatDirectoryContents contents = DecodeExfatDirectory(ReadRuns(runs, std::nullopt), true);
    if (contents.bitmap) ReadBitmap(*contents.bitmap);
    return inUse_;
  }

  bool Run() {
    store_.ClearFatItems();
    UiPort& ui = context_.ui;
    ui.SetStopVisible(true);
    ui.SetProgress(0);
    ui.ShowProgress(true);
    if (lastCluster_ >= 2 && clusterBytes_ != 0) {
      WalkRoot();
      WalkFoldersWhere(false);
      if (anyDeleted_) MarkLiveFilesInUse();
      WalkFoldersWhere(true);
      SettleDeletedFiles();
    }
    const bool completed = !Stopped();
    context_.scan.stopRequested = false;
    ui.SetStopVisible(false);
    return completed;
  }

 private:
  bool Stopped() const { return context_.scan.StopRequested(); }

  std::uint64_t ClustersFor(std::uint64_t bytes) const {
    const std::uint64_t clusters = (bytes + clusterBytes_ - 1) / clusterBytes_;
    return std::min<std::uint64_t>(clusters, lastCluster_ - 1);
  }

  // Consecutive clusters from `first`, never past the volume's last one.
  std::vector<ClusterRun> RunFrom(std::uint32_t first, std::uint64_t clusters) const {
    if (first < 2 || first > lastCluster_ || clusters == 0) return {};
    const std::uint64_t fits = std::min<std::uint64_t>(clusters, std::uint64_t{lastCluster_} - first + 1);
    return {{first, static_cast<std::uint32_t>(fits)}};
  }

  // A deleted folder's clusters: its chain when the FAT still holds one of
  // the length it needs over free clusters (exFAT marks clusters free in the
  // bitmap, and Windows leaves the FAT alone), else the run from its first.
  std::vector<ClusterRun> DeletedDirectoryRuns(std::uint32_t first, std::uint64_t clusters) {
    if (clusters > 1) {
      std::vector<std::uint32_t> chain;
      const ExfatChainEnd end = FollowExfatChain(context_.reader, volume_, lastCluster_, first, clusters + 1, chain);
      std::vector<ClusterRun> runs = RunsOfChain(chain);
      if (end == ExfatChainEnd::endOfChain && chain.size() == clusters && !inUse_.AnyUsed(runs)) return runs;
    }
    return RunFrom(first, clusters);
  }

  // The clusters of a directory, bounded by its stated length (when it has
  // one), by the volume and by the largest directory exFAT allows.
  std::vector<ClusterRun> DirectoryRuns(std::uint32_t first, const FolderLayout* layout, bool deleted) {
    const std::uint64_t maxClusters = std::max<std::uint64_t>(1, ClustersFor(kMaxDirectoryBytes));
    const std::uint64_t stated =
        layout && layout->dataLength != 0 ? std::min(ClustersFor(layout->dataLength), maxClusters) : maxClusters;
    if (layout && layout->noFatChain) return RunFrom(first, std::max<std::uint64_t>(stated, 1));
    if (deleted) return DeletedDirectoryRuns(first, std::max<std::uint64_t>(stated, 1));
    std::vector<std::uint32_t> chain;
    FollowExfatChain(context_.reader, volume_, lastCluster_, first, stated, chain);
    return RunsOfChain(chain);
  }

  // `runs` up to the first cluster another directory was read from: each
  // directory cluster is read once, so cross-linked folders cannot list one
  // cluster's entries again and again.
  std::vector<ClusterRun> UnreadPart(const std::vector<ClusterRun>& runs) const {
    std::vector<ClusterRun> unread;
    for (const ClusterRun& run : runs) {
      std::uint32_t count = 0;
      while (count < run.count && !directories_.IsUsed(run.first + count)) ++count;
      if (count > 0) unread.push_back({run.first, count});
      if (count < run.count) break;
    }
    return unread;
  }

  // Reads the clusters of `runs`; sectors that cannot be read read as zeros
  // (the end of the directory, to the decoder) and, for a directory
  // (`folderKey` given), are recorded.
  std::vector<std::uint8_t> ReadRuns(const std::vector<ClusterRun>& runs, std::optional<std::uint32_t> folderKey) {
    std::uint64_t total = 0;
    for (const ClusterRun& run : runs) total += run.count;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(total * clusterBytes_));
    std::size_t at = 0;
    for (const ClusterRun& run : runs) {
      const std::uint64_t first = volume_.ClusterToSector(run.first);
      const std::uint64_t sectors = std::uint64_t{run.count} * volume_.sectorsPerCluster;
      for (std::uint64_t done = 0; done < sectors && !Stopped();) {
        const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(kReadSectors, sectors - done));
        std::vector<std::uint32_t> unreadable;
        context_.reader.ReadSectorsFillingGaps(first + done, count, MutableBytes(bytes).subspan(at, count * kSectorSize),
                                               &unreadable);
        for (const std::uint32_t position : unreadable) {
          if (!folderKey) break;
          store_.unreadableDirectorySectors.push_back(
              {*folderKey, static_cast<std::uint32_t>(first + done + position)});
        }
        at += std::size_t{count} * kSectorSize;
        done += count;
      }
    }
    return bytes;
  }

  // Reads a directory's clusters (those no other directory was read from)
  // and records them as read, and, for a live one, as in use.
  std::vector<std::uint8_t> ReadDirectory(const std::vector<ClusterRun>& runs, std::uint32_t key, bool deleted) {
    const std::vector<ClusterRun> unread = UnreadPart(runs);
    directories_.MarkUsed(unread);
    if (!deleted) inUse_.MarkUsed(unread);
    return ReadRuns(unread, key);
  }

  void WalkRoot() {
    const std::vector<ClusterRun> runs = DirectoryRuns(volume_.RootCluster(), nullptr, false);
    const std::vector<std::uint8_t> bytes = ReadDirectory(runs, kFatRootKey, false);
    ExfatDirectoryContents contents = DecodeExfatDirectory(bytes, true);
    if (contents.bitmap) ReadBitmap(*contents.bitmap);
    AddItems(contents, kFatRootKey, false);
  }

  void ReadBitmap(const ExfatBitmapEntry& entry) {
    const std::uint64_t needed = (std::uint64_t{lastCluster_} - 1 + 7) / 8;
    const std::uint64_t bytes = std::min(entry.dataLength, needed);
    if (bytes == 0 || entry.firstCluster < 2) return;
    // The bitmap keeps a FAT chain; a damaged chain is read as one run.
    const std::uint64_t clusters = ClustersFor(bytes);
    std::vector<std::uint32_t> chain;
    FollowExfatChain(context_.reader, volume_, lastCluster_, entry.firstCluster, clusters, chain);
    const std::vector<ClusterRun> runs =
        chain.size() == clusters ? RunsOfChain(chain) : RunFrom(entry.firstCluster, clusters);
    std::vector<std::uint8_t> bits = ReadRuns(runs, std::nullopt);
    bits.resize(static_cast<std::size_t>(std::min<std::uint64_t>(bits.size(), bytes)));
    // Clusters the walk finds live items in are added to it (see
    // MarkLiveFilesInUse): a bitmap cut short, or wrong, is not believed
    // for them.
    inUse_ = ExfatBitmap(std::move(bits));
    inUse_.MarkUsed(directories_);
  }

  void Report(const ExfatEntrySet& set) {
    ItemCounters& counters = store_.counters;
    ++counters.entriesSeen;
    UiPort& ui = context_.ui;
    ui.SetPanelValue(set.IsFolder() ? panel::kFoldersFound : panel::kFilesFound,
                     std::to_string(set.IsFolder() ? counters.folderCount : counters.fileCount));
    ui.SetPanelValue(panel::kLastItem, set.name);
  }

  void AddItems(const ExfatDirectoryContents& contents, std::uint32_t parentKey, bool inheritedDeleted) {
    for (const ExfatEntrySet& set : contents.sets) {
      // A deleted set that fails its checksum was partly written over.
      if (set.deleted && !set.checksumOk) continue;
      const bool deleted = inheritedDeleted || set.deleted;
      anyDeleted_ = anyDeleted_ || deleted;
      const auto writeDate = static_cast<std::uint16_t>(set.modified >> 16);
      const auto accessDate = static_cast<std::uint16_t>(set.accessed >> 16);
      if (set.IsFolder()) {
        // Without a cluster of its own a folder has no key: it is empty anyway.
        if (set.firstCluster < 2 || set.firstCluster > lastCluster_) continue;
        RecordLayout(set.firstCluster, FolderLayout{set.NoFatChain(), set.dataLength, deleted});
        store_.AddFatFolder(ExfatItemName(set), set.firstCluster, parentKey, writeDate, accessDate, 0, deleted);
      } else {
        if (deleted && set.dataLength > 0) {
          deletedFiles_.push_back({static_cast<std::uint32_t>(store_.FatFiles().Size()), set.NoFatChain()});
        }
        store_.AddFatFile(FileItemOf(set, parentKey, deleted));
        ++store_.counters.fileCount;
      }
      Report(set);
    }
  }

  // The first entry naming a folder's cluster gives its layout, but a live
  // entry outranks a deleted one: a renamed folder leaves its old entry,
  // with the length the folder had then, before the new one.
  void RecordLayout(std::uint32_t firstCluster, FolderLayout layout) {
    const auto [known, added] = layouts_.emplace(firstCluster, layout);
    if (!added && known->second.fromDeletedEntry && !layout.fromDeletedEntry) known->second = layout;
  }

  // A live file whose entry says it has no FAT chain is one run; a deleted
  // file's clusters are settled once every live item is known.
  FatFileItem FileItemOf(const ExfatEntrySet& set, std::uint32_t parentKey, bool deleted) const {
    FatFileItem file = ExfatFileItem(set, parentKey, deleted);
    if (!deleted && set.dataLength > 0 && set.NoFatChain()) {
      file.clusterRuns = RunFrom(set.firstCluster, ClustersFor(set.dataLength));
    }
    return file;
  }

  // The clusters of the live files, added to those the bitmap calls in use:
  // no deleted item is read from them. Each FAT entry is read once however
  // many files claim one chain.
  void MarkLiveFilesInUse() {
    ExfatBitmap walked;
    std::vector<std::uint32_t> chain;
    for (const FatFileItem& file : store_.FatFiles().Items()) {
      if (Stopped()) return;
      if (file.deleted || file.size == 0 || file.firstCluster < 2 || file.firstCluster > lastCluster_) continue;
      if (!file.clusterRuns.empty()) {
        inUse_.MarkUsed(file.clusterRuns);
        continue;
      }
      FollowExfatChain(context_.reader, volume_, lastCluster_, file.firstCluster, ClustersFor(file.size), chain, &walked);
      inUse_.MarkUsed(RunsOfChain(chain));
    }
  }

  void SettleDeletedFiles() {
    // Deleted folders' first clusters hold their directories, whoever reads them.
    ExfatBitmap held = directories_;
    for (const FatFolderItem& folder : store_.FatFolders().Items()) {
      if (folder.deleted) held.MarkUsed(folder.firstCluster, 1);
    }
    SettleExfatDeletedFiles(context_.reader, volume_, lastCluster_, {inUse_, held}, deletedFiles_, store_);
  }

  // The folder list grows while it is walked, so every folder found is read
  // once. Live folders go first: the bitmap and the live items then tell
  // which deleted folders' clusters are taken.
  void WalkFoldersWhere(bool deleted) {
    auto& folders = store_.FatFolders();
    for (std::size_t position = 0; position < folders.Size() && !Stopped(); ++position) {
      const FatFolderItem& folder = folders.Items()[position];
      if (folder.deleted != deleted || folder.overwritten) continue;
      const std::uint32_t key = folder.firstCluster;
      const auto layout = layouts_.find(key);
      const FolderLayout* stated = layout == layouts_.end() ? nullptr : &layout->second;
      const std::vector<ClusterRun> runs = DirectoryRuns(key, stated, deleted);
      if (deleted && inUse_.AnyUsed(runs)) {
        store_.MarkFatFolderOverwritten(static_cast<std::uint32_t>(position));
        continue;
      }
      folders.At(static_cast<std::uint32_t>(position)).clusterRuns = runs;
      context_.ui.SetPanelValue(panel::kCurrentSector, std::to_string(volume_.ClusterToSector(key)));
      const std::vector<std::uint8_t> bytes = ReadDirectory(runs, key, deleted);
      if (Stopped()) return;
      const ExfatDirectoryContents contents = DecodeExfatDirectory(bytes, true);
      if (deleted && !contents.endSeen) ++store_.counters.deletedFoldersNotReadWhole;
      AddItems(contents, key, deleted);
      ++walked_;
      context_.ui.SetProgress(static_cast<int>(std::min<std::size_t>(100, walked_ * 100 / (folders.Size() + 1))));
    }
  }

  VolumeContext& context_;
  const VolumeParameters& volume_;
  ItemStore& store_;
  const std::uint32_t lastCluster_;
  const std::uint64_t clusterBytes_;
  // The bitmap, with the clusters live files and folders hold added.
  ExfatBitmap inUse_;
  // Clusters read as directories, live or deleted.
  ExfatBitmap directories_;
  std::unordered_map<std::uint32_t, FolderLayout> layouts_;
  std::vector<ExfatDeletedFile> deletedFiles_;
  bool anyDeleted_ = false;
  std::size_t walked_ = 0;
};

}  // namespace

bool WalkExfatVolume(VolumeContext& context, ItemStore& store) { return ExfatWalk(context, store).Run(); }

ExfatBitmap ReadExfatAllocationBitmap(VolumeContext& context) {
  ItemStore unused;
  return ExfatWalk(context, unused).BitmapOnly();
}

std::uint32_t ExfatHeapLastCluster(const VolumeParameters& volume, SectorNumber lastSector) {
  const std::uint64_t perCluster = volume.sectorsPerCluster;
  if (perCluster == 0) return 0;
  const SectorNumber heapStart = volume.clusterBase + 2 * perCluster;
  if (std::uint64_t{lastSector} + 1 <= heapStart) return 0;
  const std::uint64_t heapClusters = (std::uint64_t{lastSector} + 1 - heapStart) / perCluster;
  if (heapClusters == 0) return 0;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(heapClusters + 1, 0xFFFFFFF5));
}

std::uint32_t ExfatLastCluster(const VolumeParameters& volume, SectorNumber lastSector) {
  const std::uint64_t fatEntries = std::uint64_t{volume.sectorsPerFat} * (kSectorSize / 4);
  const std::uint64_t fatClusters = fatEntries > 2 ? fatEntries - 2 : 0;
  const std::uint64_t last = std::min<std::uint64_t>(ExfatHeapLastCluster(volume, lastSector), fatClusters + 1);
  return last >= 2 ? static_cast<std::uint32_t>(last) : 0;
}

std::string ExfatItemName(const ExfatEntrySet& set) {
  if (!set.name.empty()) return set.name;
  return (set.IsFolder() ? "Dir" : "File") + std::to_string(set.firstCluster);
}

FatFileItem ExfatFileItem(const ExfatEntrySet& set, std::uint32_t parent, bool deleted) {
  FatFileItem file;
  file.name = ExfatItemName(set);
  file.nameIncomplete = set.incomplete;
  file.firstCluster = set.firstCluster;
  file.parentCluster = parent;
  file.writeDate = static_cast<std::uint16_t>(set.modified >> 16);
  file.writeTime = static_cast<std::uint16_t>(set.modified & 0xFFFF);
  file.accessDate = static_cast<std::uint16_t>(set.accessed >> 16);
  file.size = set.dataLength;
  file.validSize = std::min(set.validDataLength, set.dataLength);
  file.deleted = deleted;
  return file;
}

}  // namespace salvex
