#include <algorithm>
#include <string>
#include <vector>

#include "deepscan/directory_reader.h"
#include "deepscan/mount.h"
#include "deepscan/orphan_directory_clusters.h"
#include "deepscan/sector_tests.h"
#include "fat/deleted_cluster_resolver.h"
#include "fat/cluster_chain.h"
#include "fat/directory_decoder.h"
#include "fat/fat_walk.h"

namespace salvex {
namespace {

constexpr std::uint32_t kFat16RootSectors = 32;
constexpr std::uint32_t kFat16FatSearch = 550;
constexpr std::uint32_t kFat32FatSearch = 30000;
// A volume without a partition table (a floppy disk, a card formatted
// whole) has its FAT from sector 1 on.
constexpr std::uint32_t kFirstPossibleFat = 1;
constexpr std::uint32_t kFatSearchChunk = 128;

// The sectors of a fixed root to read: FAT16's usual 512 entries, or a
// smaller root's own (a floppy disk's holds 224 entries, 14 sectors) where
// it ends before cluster 2 does begin.
std::uint32_t FixedRootSectors(const VolumeParameters& volume) {
  const std::uint64_t dataStart = std::uint64_t{volume.clusterBase} + 2 * std::uint64_t{volume.sectorsPerCluster};
  if (dataStart <= volume.rootDirStart) return kFat16RootSectors;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(kFat16RootSectors, dataStart - volume.rootDirStart));
}

// The first sector from `fatStart` + 1 up to the data area that holds
// directory entries; 0 when none does.
SectorNumber FirstDirectorySectorAfter(VolumeContext& context, SectorNumber fatStart, const VolumeParameters& volume) {
  const std::uint64_t dataStart = std::uint64_t{volume.clusterBase} + 2 * std::uint64_t{volume.sectorsPerCluster};
  SectorBuffer sector{};
  for (std::uint64_t s = std::uint64_t{fatStart} + 1; s < dataStart && !context.scan.StopRequested(); ++s) {
    ReadSectorsZeroed(context.reader, s, 1, sector);
    if (HoldsDirectoryEntries(sector)) return s;
  }
  return 0;
}

std::string LostFolderName(std::uint32_t cluster) { return "Dir" + std::to_string(cluster); }

void AddClaimedFolders(MountContext& context) {
  ItemStore& store = context.store;
  const std::uint16_t ordinal = context.volume.volume.foundFsOrdinal;
  const HitLists& hits = context.state.hits;
  UiPort& ui = context.volume.ui;
  std::uint32_t added = 0;
  for (const FolderClusterHit& hit : hits.folderClusters) {
    if (hit.candidate != ordinal) continue;
    store.AddFatFolder(LostFolderName(hit.cluster), hit.cluster, hit.parentCluster, hit.writeDate, hit.accessDate, 0,
                       false);
    ui.SetProgress(ProgressPercent(++added, std::max<std::uint32_t>(1, hits.foldersFound)));
  }
}

}  // namespace

void LinkLostFatFolders(ItemStore& store) {
  // Folders added here are visited in turn; their parent is the root.
  for (std::size_t i = 0; i < store.FatFolders().Size(); ++i) {
    const std::uint32_t parent = store.FatFolders().Items()[i].parentCluster;
    if (parent == kFatRootKey || store.FindFatFolder(parent)) continue;
    store.AddFatFolder(LostFolderName(parent), parent, kFatRootKey, 0, 0, 0, false);
  }
}

void FindFats(VolumeContext& context) {
  VolumeParameters& volume = context.volume;
  UiPort& ui = context.ui;
  ui.SetStatus("Step 3 / 5 ....");
  ui.SetProgress(0);
  ui.ShowProgress(true);
  const std::uint32_t reach = HasFixedRoot(volume.fsType) ? kFat16FatSearch : kFat32FatSearch;
  const std::uint32_t lowest = kFirstPossibleFat;
  const SectorNumber from =
      volume.clusterBase > reach ? std::max<SectorNumber>(volume.clusterBase - reach, lowest) : lowest;
  std::vector<SectorNumber> fats;
  std::vector<std::uint8_t> chunk(kFatSearchChunk * kSectorSize);
  SectorBuffer firstFat{};
  for (SectorNumber first = from; first < volume.clusterBase && fats.size() < 2; first += kFatSearchChunk) {
    const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(kFatSearchChunk, volume.clusterBase - first));
    ReadSectorsZeroed(context.reader, first, count, chunk);
    for (std::uint32_t i = 0; i < count && fats.size() < 2; ++i) {
      const std::uint8_t* sector = chunk.data() + std::size_t{i} * kSectorSize;
      // The start of a FAT of a fixed disk: media byte F8, then all ones;
      // a FAT12 floppy disk's begins with F0.
      const bool media = sector[0] == 0xF8 || (volume.fsType == FsType::fat12 && sector[0] == 0xF0);
      if (!media || sector[1] != 0xFF || sector[2] != 0xFF) continue;
      if (fats.empty()) {
        std::copy(sector, sector + kSectorSize, firstFat.begin());
      } else if (!std::equal(firstFat.begin(), firstFat.end(), sector)) {
        // FAT #2 repeats FAT #1; a sector of FAT #1 that merely begins with
        // end-of-chain marks is not it (a volume with one FAT has none).
        continue;
      }
      fats.push_back(first + i);
    }
    ui.SetProgress(ProgressPercent(first, volume.clusterBase));
  }
  if (fats.empty()) return;
  volume.fat1Start = fats[0];
  if (fats.size() < 2) {
    // One FAT: a fixed root begins with the first sector after it that holds
    // directory entries (the FAT's own sectors hold links, or zeros).
    if (HasFixedRoot(volume.fsType)) volume.rootDirStart = FirstDirectorySectorAfter(context, fats[0], volume);
    return;
  }
  volume.fat2Start = fats[1];
  // Both lie within the search's reach, a 32-bit count apart.
  volume.sectorsPerFat = static_cast<std::uint32_t>(fats[1] - fats[0]);
  if (HasFixedRoot(volume.fsType)) volume.rootDirStart = volume.fat2Start + volume.sectorsPerFat;
}

bool ReadFoundDirectories(VolumeContext& context, ItemStore& store, WalkedDirectories* walked) {
  VolumeParameters& volume = context.volume;
  UiPort& ui = context.ui;
  ui.SetStatus("Step 4 / 5 ....");
  DirectoryDecodeContext decode{store, volume.fsType, FatEntryLimits(volume, LastVolumeSector(volume, context.scan))};
  DirectoryReader reader(context, decode);
  ClusterChain chain;
  if (HasFixedRoot(volume.fsType)) {
    if (volume.rootDirStart != 0 && volume.rootDirStart < UINT64_MAX - kFat16RootSectors) {
      reader.ReadSectors(volume.rootDirStart, FixedRootSectors(volume), kFatRootKey);
    }
  } else {
    if (volume.rootDirStart == 0) volume.rootDirStart = 2;
    BuildDirectoryChain(context.reader, volume, decode.limits.lastCluster, volume.RootCluster(), chain);
    reader.ReadClusters(chain, kFatRootKey, false, false);
    if (walked) walked->clusters.insert(chain.begin(), chain.end());
  }
  ui.SetStopVisible(true);
  const auto& folders = store.FatFolders();
  for (std::size_t i = 0; i < folders.Size() && !context.scan.StopRequested(); ++i) {
    // Copies: reading a directory may add folders and move the list.
    const std::uint32_t cluster = folders.Items()[i].firstCluster;
    const bool deleted = folders.Items()[i].deleted;
    BuildDirectoryChain(context.reader, volume, decode.limits.lastCluster, cluster, chain);
    const DirectoryRead read = reader.ReadClusters(chain, cluster, deleted, true);
    // The whole chain is the folder's, read past its end mark or not.
    if (walked && !read.abandoned) walked->Record(cluster, chain, read.endSeen, deleted);
    ui.SetProgress(ProgressPercent(i + 1, folders.Size()));
  }
  ui.SetStopVisible(false);
  const bool completed = !context.scan.StopRequested();
  context.scan.stopRequested = false;
  return completed;
}

bool MountFat(MountContext& context) {
  VolumeContext& volume = context.volume;
  UiPort& ui = volume.ui;
  ui.SetStatus("Step 1 / 5 ....");
  ui.SetProgress(0);
  ui.ShowProgress(true);
  context.store.ClearFatItems();
  AddClaimedFolders(context);
  ui.SetStatus("Step 2 / 5 ....");
  ui.SetProgress(0);
  LinkLostFatFolders(context.store);
  if (volume.volume.fat1Start == 0) FindFats(volume);
  WalkedDirectories walked;
  const bool completed = ReadFoundDirectories(volume, context.store, &walked);
  if (completed) ListOrphanDirectoryClusters(volume, context.store, context.state.hits.directorySectors, walked);
  const SectorNumber lastSector = LastVolumeSector(volume.volume, volume.scan);
  DeletedClusterResolver deletedClusters(volume.reader, volume.volume, FatEntryLimits(volume.volume, lastSector).lastCluster,
                                         walked, volume.scan.stopRequested);
  deletedClusters.ResolveFiles(context.store);
  ui.SetStatus("Step 5 / 5 ....");
  BuildFatFolderTree(context.store, context.tree, ui, context.treeRoot);
  ui.SetProgress(0);
  ui.ShowProgress(false);
  ui.SetStatus("");
  return completed;
}

}  // namespace salvex
