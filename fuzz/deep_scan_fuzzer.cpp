// The input is a small disk: the Advance Scan of all of it (the sector sweep
// and the classification into found file systems) as FAT16, FAT32, NTFS,
// FAT12 and exFAT, then the mount of the first few file systems each one
// found.

#include <algorithm>
#include <functional>
#include <optional>

#include "deepscan/found_file_system.h"
#include "deepscan/mount.h"
#include "volume/boot_sector.h"
#include "item_checks.h"
#include "items/folder_tree_model.h"
#include "session/advance_scan.h"

using namespace salvex;

namespace {

// Mounting reads every claimed folder: a few file systems keep a run short.
constexpr std::uint16_t kMaxMounts = 3;

// The FAT sweeps read in different chunk sizes, one of them odd: what they
// find must not depend on it.
std::uint32_t SectorsPerRead(FsType type) { return type == FsType::fat32 ? 5 : 8; }

template <typename Hit>
bool StrictlyAscending(const std::vector<Hit>& hits) {
  return std::adjacent_find(hits.begin(), hits.end(),
                            [](const Hit& a, const Hit& b) { return a.sector >= b.sector; }) == hits.end();
}

// exFAT clusters reach 32 MiB.
bool IsExfatClusterSize(std::uint32_t sectors) {
  return sectors != 0 && sectors <= 65536 && (sectors & (sectors - 1)) == 0;
}

void CheckFound(const DeepScanState& state, FsType type) {
  for (std::uint16_t ordinal = 1; ordinal <= state.found.size(); ++ordinal) {
    const FoundFileSystem& found = state.found[ordinal - 1];
    if (type == FsType::exfat) {
      FUZZ_CHECK(found.fsType == FsType::exfat && IsExfatClusterSize(found.sectorsPerCluster));
    } else {
      FUZZ_CHECK(IsValidSectorsPerCluster(found.sectorsPerCluster));
      FUZZ_CHECK(type == FsType::ntfs ? found.fsType == FsType::ntfs : IsFatType(found.fsType));
    }
    // A file system is only added for the hits it claims.
    FUZZ_CHECK(ClaimedHitCounts(state)[ordinal] > 0);
  }
}

void CheckExfatHits(const DeepScanState& state) {
  const HitLists& hits = state.hits;
  FUZZ_CHECK(hits.folderClusters.empty() && hits.mftFolders.empty() && hits.directorySectors.empty());
  FUZZ_CHECK(hits.foldersFound == hits.exfatFolders.size());
  FUZZ_CHECK(StrictlyAscending(hits.exfatRoots));
  FUZZ_CHECK(std::adjacent_find(hits.exfatDirectoryStarts.begin(), hits.exfatDirectoryStarts.end(),
                                std::greater_equal<>()) == hits.exfatDirectoryStarts.end());
  for (const ExfatFolderHit& hit : hits.exfatFolders) {
    FUZZ_CHECK(hit.candidate == kUnplaced || (hit.candidate >= 1 && hit.candidate <= state.found.size()));
    FUZZ_CHECK(hit.firstCluster >= 2 && fuzz::IsUsableName(hit.name));
    if (hit.candidate == kUnplaced) continue;
    // A file system claims a folder only where its geometry puts the
    // folder's first cluster on a sector where a directory begins.
    const FoundFileSystem& found = state.found[hit.candidate - 1];
    const std::uint64_t sector = std::uint64_t{found.clusterBase} + std::uint64_t{found.sectorsPerCluster} * hit.firstCluster;
    FUZZ_CHECK(std::binary_search(hits.exfatDirectoryStarts.begin(), hits.exfatDirectoryStarts.end(), sector));
  }
  for (const ExfatRootHit& hit : hits.exfatRoots) {
    FUZZ_CHECK(hit.candidate == kUnplaced || (hit.candidate >= 1 && hit.candidate <= state.found.size()));
  }
}

void CheckHits(const DeepScanState& state, FsType type) {
  const HitLists& hits = state.hits;
  FUZZ_CHECK(StrictlyAscending(hits.bootSectors));
  FUZZ_CHECK(hits.bootSectorsFound == hits.bootSectors.size());
  if (type == FsType::exfat) {
    CheckExfatHits(state);
    return;
  }
  FUZZ_CHECK(hits.exfatFolders.empty() && hits.exfatRoots.empty() && hits.exfatDirectoryStarts.empty());
  if (type != FsType::ntfs) {
    FUZZ_CHECK(StrictlyAscending(hits.folderClusters));
    FUZZ_CHECK(hits.foldersFound == hits.folderClusters.size());
    FUZZ_CHECK(hits.mftFolders.empty() && hits.mftFiles.empty() && hits.indexBlocks.empty());
    for (const FolderClusterHit& hit : hits.folderClusters) {
      // Every hit ends claimed by a file system that exists, or unplaced.
      FUZZ_CHECK(hit.candidate == kUnplaced || (hit.candidate >= 1 && hit.candidate <= state.found.size()));
      // Clusters 0 and 1 hold no data, and cluster n lies at base + size x n, not below n.
      FUZZ_CHECK(hit.cluster >= 2 && hit.cluster < hit.sector);
      if (hit.candidate == kUnplaced) continue;
      // A file system claims a folder only where its geometry puts it, in the
      // unsigned 32-bit arithmetic of the disk.
      const FoundFileSystem& found = state.found[hit.candidate - 1];
      FUZZ_CHECK(found.clusterBase + found.sectorsPerCluster * hit.cluster == hit.sector);
    }
    return;
  }
  FUZZ_CHECK(StrictlyAscending(hits.mftFolders));
  FUZZ_CHECK(StrictlyAscending(hits.mftFiles));
  FUZZ_CHECK(StrictlyAscending(hits.indexBlocks));
  FUZZ_CHECK(hits.foldersFound == hits.mftFolders.size());
  FUZZ_CHECK(hits.filesFound == hits.mftFiles.size());
  FUZZ_CHECK(hits.indexBlocksFound == hits.indexBlocks.size());
  FUZZ_CHECK(hits.folderClusters.empty());
  // Only each folder's first index block is kept.
  for (const IndexBlockHit& block : hits.indexBlocks) {
    FUZZ_CHECK(block.vcn == 0);
    FUZZ_CHECK(block.ownerRecord >= kNtfsRootKey && block.ownerRecord != 0xFFFFFFFF);
  }
  // Unplaced folders join the file system of the folder before them (the
  // first one before any, the first file system).
  const std::size_t highest = std::max<std::size_t>(1, state.found.size());
  for (const MftFolderHit& hit : hits.mftFolders) {
    FUZZ_CHECK(hit.candidate != kUnplaced && hit.candidate <= highest);
    FUZZ_CHECK(fuzz::IsUsableName(hit.name));
    // The root's record names itself ".", whatever its index says.
    FUZZ_CHECK(hit.name != "." || hit.recordNumber == kNtfsRootKey);
  }
  for (const MftFileHit& hit : hits.mftFiles) FUZZ_CHECK(fuzz::IsUsableName(hit.name));
}

// The FAT16 and the FAT32 scan sweep alike and classify alike; only the type
// of an inferred file system follows the one chosen.
void CheckSameFatResults(const DeepScanState& fat16, const DeepScanState& fat32) {
  FUZZ_CHECK(fat16.hits.bootSectors.size() == fat32.hits.bootSectors.size());
  for (std::size_t i = 0; i < fat16.hits.bootSectors.size(); ++i) {
    FUZZ_CHECK(fat16.hits.bootSectors[i].sector == fat32.hits.bootSectors[i].sector);
  }
  FUZZ_CHECK(fat16.hits.folderClusters.size() == fat32.hits.folderClusters.size());
  for (std::size_t i = 0; i < fat16.hits.folderClusters.size(); ++i) {
    const FolderClusterHit& a = fat16.hits.folderClusters[i];
    const FolderClusterHit& b = fat32.hits.folderClusters[i];
    FUZZ_CHECK(a.sector == b.sector && a.cluster == b.cluster && a.parentCluster == b.parentCluster);
    FUZZ_CHECK(a.candidate == b.candidate);
  }
  FUZZ_CHECK(fat16.found.size() == fat32.found.size());
  for (std::size_t i = 0; i < fat16.found.size(); ++i) {
    FUZZ_CHECK(fat16.found[i].clusterBase == fat32.found[i].clusterBase);
    FUZZ_CHECK(fat16.found[i].sectorsPerCluster == fat32.found[i].sectorsPerCluster);
  }
}

void CheckMount(const Session& session, const DeepScanState& state, const FolderTreeModel& tree) {
  const ItemStore& store = session.items;
  const VolumeParameters& volume = session.volume;
  if (volume.fsType == FsType::ntfs) {
    fuzz::CheckNtfsItems(store, tree);
    for (const NtfsFolderItem& folder : store.NtfsFolders().Items()) FUZZ_CHECK(fuzz::HasKnownParent(store, folder));
    // An Advance Scan keeps one folder per record.
    for (std::uint32_t i = 0; i < store.NtfsFolders().Size(); ++i) {
      FUZZ_CHECK(store.FindNtfsFolder(store.NtfsFolders().Items()[i].recordNumber) == i);
    }
    // Every folder the file system claimed is there, and every file record
    // inside it.
    for (const MftFolderHit& hit : state.hits.mftFolders) {
      if (hit.candidate != volume.foundFsOrdinal || hit.recordNumber == kNtfsRootKey || hit.name == ".") continue;
      FUZZ_CHECK(store.FindNtfsFolder(hit.recordNumber).has_value());
    }
    const auto inside = std::count_if(state.hits.mftFiles.begin(), state.hits.mftFiles.end(), [&](const MftFileHit& hit) {
      return hit.sector > volume.clusterBase && hit.sector <= volume.volumeEnd;
    });
    FUZZ_CHECK(store.NtfsFiles().Size() == static_cast<std::size_t>(inside));
    return;
  }
  fuzz::CheckFatItems(store, tree);
  for (const FatFolderItem& folder : store.FatFolders().Items()) FUZZ_CHECK(fuzz::HasKnownParent(store, folder));
  for (const FolderClusterHit& hit : state.hits.folderClusters) {
    if (hit.candidate == volume.foundFsOrdinal) FUZZ_CHECK(store.FindFatFolder(hit.cluster).has_value());
  }
  // Without its boot region an exFAT volume lists every folder it claimed
  // (with it, the walk from the root decides).
  if (volume.fsType != FsType::exfat || volume.fat1Start != 0) return;
  for (const ExfatFolderHit& hit : state.hits.exfatFolders) {
    if (hit.candidate == volume.foundFsOrdinal) FUZZ_CHECK(store.FindFatFolder(hit.firstCluster).has_value());
  }
  for (const FatFileItem& file : store.FatFiles().Items()) {
    // With no FAT every file is one run, inside the disk.
    FUZZ_CHECK(file.clusterRuns.size() <= 1);
    for (const ClusterRun& run : file.clusterRuns) FUZZ_CHECK(run.first >= 2 && run.count >= 1);
  }
}

void MountFound(Session& session, const DeepScanState& state) {
  const auto mounts = static_cast<std::uint16_t>(std::min<std::size_t>(state.found.size(), kMaxMounts));
  VolumeParameters unused;
  FUZZ_CHECK(!SelectFoundFileSystem(state, 0, unused));
  FUZZ_CHECK(!SelectFoundFileSystem(state, static_cast<std::uint16_t>(state.found.size() + 1), unused));
  for (std::uint16_t ordinal = 1; ordinal <= mounts; ++ordinal) {
    session.volume = {};
    session.items = {};
    FUZZ_CHECK(SelectFoundFileSystem(state, ordinal, session.volume));
    FUZZ_CHECK(session.volume.foundFsOrdinal == ordinal);
    SilentUiPort ui;
    FolderTreeModel tree;
    VolumeContext volume = session.Volume(ui);
    MountContext mount{volume, session.items, state, tree, FolderTreeModel::kRoot};
    FUZZ_CHECK(RunMount(mount));
    FUZZ_CHECK(!session.scan.StopRequested());
    CheckMount(session, state, tree);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto sectors = static_cast<std::uint32_t>(std::min<std::size_t>(size / kSectorSize, UINT32_MAX));
  if (sectors == 0) return 0;
  // One disk for every type: copying a large input is most of a run's time.
  Session session;
  fuzz::OpenInput(session, data, size);
  session.scan.scanType = ScanType::advance;
  session.scan.rangeStart = 0;
  session.scan.rangeSize = sectors;
  session.scan.rangeEnd = sectors - 1;
  std::optional<DeepScanState> fat16;
  for (const FsType type : {FsType::fat16, FsType::fat32, FsType::ntfs, FsType::fat12, FsType::exfat}) {
    session.scan.selectedFsType = type;
    session.settings.sectorsPerRead = SectorsPerRead(type);
    SilentUiPort ui;
    DeepScanState state;
    RunAdvanceScan(session.reader, session.scan, session.settings, ui, state);
    // Nobody presses Stop here.
    FUZZ_CHECK(!session.scan.StopRequested());
    CheckHits(state, type);
    CheckFound(state, type);
    if (type == FsType::fat16) fat16 = state;
    if (type == FsType::fat32) CheckSameFatResults(*fat16, state);
    MountFound(session, state);
  }
  return 0;
}
