#include "fat/fat_walk.h"

#include <algorithm>
#include <array>
#include <optional>
#include <unordered_set>
#include <utility>

#include "fat/cluster_chain.h"
#include "fat/directory_decoder.h"
#include "fat/fat_entry.h"

namespace salvex {
namespace {

// Entries 0 and 1 of a folder's first sector are "." and "..".
constexpr unsigned kFirstEntryAfterDots = 2;

class FatWalk {
 public:
  FatWalk(VolumeContext& context, ItemStore& store)
      : context_(context),
        volume_(context.volume),
        decode_{store, volume_.fsType, LimitsFor(context), &context.ui, ProgressClusters(context)},
        deletedClusters_(context.reader, volume_, decode_.limits.lastCluster, walked_, context.scan.stopRequested) {
    decode_.deletedClusters = &deletedClusters_;
  }

  bool Run() {
    decode_.store.ClearFatItems();
    UiPort& ui = context_.ui;
    ui.SetStopVisible(true);
    ui.SetProgress(0);
    ui.ShowProgress(true);
    if (volume_.fsType == FsType::fat32) {
      WalkRootFat32();
    } else {
      WalkFixedRoot();
    }
    WalkFolders();
    const bool completed = !Stopped();
    deletedClusters_.ResolveFiles(decode_.store);
    context_.scan.stopRequested = false;
    ui.SetStopVisible(false);
    return completed;
  }

 private:
  static EntryLimits LimitsFor(const VolumeContext& context) {
    return FatEntryLimits(context.volume, LastVolumeSector(context.volume, context.scan));
  }

  static std::uint32_t ProgressClusters(const VolumeContext& context) {
    const std::uint32_t perCluster = context.volume.sectorsPerCluster;
    const auto clusters =
        static_cast<std::uint32_t>(perCluster == 0 ? 0 : std::min<SectorNumber>(context.scan.rangeSize / perCluster, UINT32_MAX));
    return clusters == 0 ? 1 : clusters;
  }

  bool Stopped() const { return context_.scan.StopRequested(); }

  // Reads the next sector of the directory being walked; the sectors before
  // it stay at hand for long names that cross sector boundaries. Nothing
  // when the sector cannot be read: it is recorded, and the walk goes on
  // with the next, as its zeros would otherwise read as the folder's end.
  std::optional<Bytes> Read(SectorNumber sector, bool firstOfDirectory, std::uint32_t folderKey) {
    if (firstOfDirectory) {
      previousCount_ = 0;
    } else {
      std::copy(window_.begin() + kSectorSize, window_.end(), window_.begin());
      previousCount_ = std::min(previousCount_ + 1, kLongNameReachSectors);
    }
    const MutableBytes current = MutableBytes(window_).last(kSectorSize);
    if (context_.reader.ReadSectorsFillingGaps(sector, 1, current) != 0) {
      decode_.store.unreadableDirectorySectors.push_back({folderKey, sector});
      return std::nullopt;
    }
    return current;
  }

  Bytes Previous() const {
    return Bytes(window_).subspan((kLongNameReachSectors - previousCount_) * kSectorSize,
                                  previousCount_ * kSectorSize);
  }

  void WalkRootFat32() {
    BuildDirectoryChain(context_.reader, volume_, decode_.limits.lastCluster, volume_.RootCluster(), chain_);
    walked_.clusters.insert(chain_.begin(), chain_.end());
    bool first = true;
    for (const std::uint32_t cluster : chain_) {
      for (std::uint32_t i = 0; i < volume_.sectorsPerCluster; ++i) {
        if (Stopped()) return;
        const SectorNumber sector = volume_.ClusterToSector(cluster) + i;
        const auto bytes = Read(sector, first, kFatRootKey);
        first = false;
        if (bytes && DecodeDirectorySector(decode_, *bytes, kFatRootKey, sector, false, 0, Previous())) return;
      }
    }
  }

  void WalkFixedRoot() {
    const SectorNumber first = volume_.rootDirStart;
    for (std::uint32_t i = 0; i < volume_.rootDirSectors; ++i) {
      if (Stopped()) return;
      const auto bytes = Read(first + i, i == 0, kFatRootKey);
      if (bytes && DecodeDirectorySector(decode_, *bytes, kFatRootKey, first + i, false, 0, Previous())) return;
    }
  }

  // The folder list grows while it is walked, so every folder found, at any
  // depth, is visited exactly once. Live folders go first: only live folders
  // hold live ones, so every live folder and file is known before a deleted
  // folder is read, and a deleted folder whose first cluster a live item now
  // holds is left unread (its cluster holds the live item's data).
  void WalkFolders() {
    WalkFoldersWhere(false);
    if (Stopped()) return;
    std::unordered_set<std::uint32_t> liveFileClusters;
    for (const FatFileItem& file : decode_.store.FatFiles().Items()) {
      if (!file.deleted && file.firstCluster >= 2) liveFileClusters.insert(file.firstCluster);
    }
    liveFileClusters_ = &liveFileClusters;
    WalkFoldersWhere(true);
    liveFileClusters_ = nullptr;
  }

  void WalkFoldersWhere(bool deleted) {
    auto& folders = decode_.store.FatFolders();
    for (std::size_t position = 0; position < folders.Size() && !Stopped(); ++position) {
      // Copies: the list may grow (and move) while this folder is decoded.
      const FatFolderItem& folder = folders.Items()[position];
      if (folder.deleted != deleted || folder.overwritten) continue;
      const std::uint32_t folderCluster = folder.firstCluster;
      if (liveFileClusters_ && liveFileClusters_->contains(folderCluster)) {
        decode_.store.MarkFatFolderOverwritten(static_cast<std::uint32_t>(position));
        continue;
      }
      WalkFolder(folderCluster, deleted);
    }
  }

  void WalkFolder(std::uint32_t folderCluster, bool folderDeleted) {
    // A deleted folder's FAT entries are normally cleared: its chain is then
    // its first cluster alone.
    BuildDirectoryChain(context_.reader, volume_, decode_.limits.lastCluster, folderCluster, chain_);
    const FolderRead read = ReadFolder(folderCluster, folderDeleted);
    if (read == FolderRead::stopped) return;
    if (read != FolderRead::notAFolder) walked_.Record(folderCluster, chain_, read == FolderRead::endSeen, folderDeleted);
    // What such a folder held beyond what was read is for the sweep to find.
    if (folderDeleted && read != FolderRead::endSeen) ++decode_.store.counters.deletedFoldersNotReadWhole;
  }

  enum class FolderRead { notAFolder, stopped, endSeen, chainEnded };

  FolderRead ReadFolder(std::uint32_t folderCluster, bool folderDeleted) {
    bool firstSector = true;
    for (const std::uint32_t cluster : chain_) {
      for (std::uint32_t i = 0; i < volume_.sectorsPerCluster; ++i) {
        if (Stopped()) return FolderRead::stopped;
        const SectorNumber sectorNumber = volume_.ClusterToSector(cluster) + i;
        const auto sector = Read(sectorNumber, firstSector, folderCluster);
        const bool first = std::exchange(firstSector, false);
        if (!sector) continue;
        // A folder whose first cluster now holds something else is listed
        // but shown empty.
        if (first && !BeginsWithDotEntries(*sector)) return FolderRead::notAFolder;
        const unsigned firstIndex = first ? kFirstEntryAfterDots : 0;
        if (DecodeDirectorySector(decode_, *sector, folderCluster, sectorNumber, folderDeleted, firstIndex,
                                  Previous())) {
          return FolderRead::endSeen;
        }
      }
    }
    return FolderRead::chainEnded;
  }

  VolumeContext& context_;
  const VolumeParameters& volume_;
  DirectoryDecodeContext decode_;
  WalkedDirectories walked_;
  DeletedClusterResolver deletedClusters_;
  ClusterChain chain_;
  // [the directory's sectors before the current one | the current one]
  std::array<std::uint8_t, (kLongNameReachSectors + 1) * kSectorSize> window_{};
  std::size_t previousCount_ = 0;
  // While the deleted folders are walked: the first clusters of live files.
  const std::unordered_set<std::uint32_t>* liveFileClusters_ = nullptr;
};

}  // namespace

bool WalkFatVolume(VolumeContext& context, ItemStore& store) { return FatWalk(context, store).Run(); }

EntryLimits FatEntryLimits(const VolumeParameters& volume, SectorNumber lastSector) {
  const std::uint64_t perCluster = volume.sectorsPerCluster;
  const std::uint64_t firstDataSector = std::uint64_t{volume.clusterBase} + 2 * perCluster;
  if (perCluster == 0) return {};
  const std::uint64_t rangeClusters =
      std::uint64_t{lastSector} + 1 <= firstDataSector ? 0 : (std::uint64_t{lastSector} + 1 - firstDataSector) / perCluster;
  // The clusters its FAT can address (entries 0 and 1 hold no cluster).
  const std::uint64_t fatEntries = FatEntriesIn(std::uint64_t{volume.sectorsPerFat} * kSectorSize, volume.fsType);
  const std::uint64_t fatClusters = fatEntries > 2 ? fatEntries - 2 : 0;
  // Where the volume's own size is known, its clusters end there, though its
  // last FAT sector has room for more; where only the range is, a partition
  // entry can be shorter than its file system, and what the FAT addresses
  // counts too.
  const bool sizeKnown = volume.volumeEnd != 0 && rangeClusters != 0 && fatClusters != 0;
  const std::uint64_t dataClusters = sizeKnown ? std::min(rangeClusters, fatClusters) : std::max(rangeClusters, fatClusters);
  if (dataClusters == 0) return {};
  EntryLimits limits;
  limits.lastCluster = static_cast<std::uint32_t>(std::min<std::uint64_t>(dataClusters + 1, UINT32_MAX));
  limits.dataAreaBytes = dataClusters * perCluster * 512;
  return limits;
}

}  // namespace salvex
