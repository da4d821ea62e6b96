#include "fat/deleted_cluster_resolver.h"

#include <algorithm>
#include <unordered_set>

#include "common/le_bytes.h"
#include "fat/cluster_chain.h"
#include "fat/cluster_conflicts.h"
#include "fat/deleted_file_layout.h"
#include "fat/directory_entry.h"
#include "items/date_format.h"

namespace salvex {
namespace {

constexpr std::uint32_t kHighWordStep = 0x10000;
// Sectors read to find a deleted folder's own "." entry: each is a read on
// a disk that may be failing.
constexpr std::uint32_t kMaxFolderProbes = 64;
// Candidates looked at per entry: every one on volumes of up to 2^28
// clusters (1 TiB in 4 KiB clusters), so that millions of deleted entries
// cost a bounded time on any volume.
constexpr std::uint32_t kMaxCandidates = 4096;
// Other files a file is said to share clusters with: enough to find them,
// and bounded when many deleted entries claim the same clusters.
constexpr std::size_t kMaxConflictsNamed = 16;

std::uint32_t DotCluster(Bytes sector, std::size_t entry) {
  return u16le(sector, entry + 26) | (static_cast<std::uint32_t>(u16le(sector, entry + 20)) << 16);
}

// What the FAT allocates, and the free clusters other items hold (sorted).
class FatOccupancy final : public ClusterOccupancy {
 public:
  FatOccupancy(const ClusterAllocation& allocation, std::vector<std::uint32_t> heldFree)
      : allocation_(allocation), heldFree_(std::move(heldFree)) {}

  std::uint64_t CountTaken(std::uint64_t first, std::uint64_t count) const override {
    const auto from = std::lower_bound(heldFree_.begin(), heldFree_.end(), first);
    const auto to = std::lower_bound(from, heldFree_.end(), first + count);
    return allocation_.CountAllocated(first, count) + static_cast<std::uint64_t>(to - from);
  }

 private:
  const ClusterAllocation& allocation_;
  std::vector<std::uint32_t> heldFree_;
};

// Whether any of the `count` clusters from `first` is in `sorted`.
bool AnyIn(const std::vector<std::uint32_t>& sorted, std::uint64_t first, std::uint64_t count) {
  const auto at = std::lower_bound(sorted.begin(), sorted.end(), first);
  return at != sorted.end() && *at < first + count;
}

}  // namespace

DeletedClusterResolver::DeletedClusterResolver(SectorReader& reader, const VolumeParameters& volume,
                                               std::uint32_t lastCluster, const WalkedDirectories& walked,
                                               const std::atomic<bool>& stop)
    : reader_(reader), volume_(volume), lastCluster_(lastCluster), walked_(walked), stop_(stop) {}

const ClusterAllocation& DeletedClusterResolver::Allocation() {
  if (!allocation_) allocation_ = ClusterAllocation::Read(reader_, volume_, lastCluster_, &stop_);
  return *allocation_;
}

bool DeletedClusterResolver::OwnsChain(std::uint32_t first, std::uint64_t clusters) {
  const ClusterAllocation& allocation = Allocation();
  if (allocation.IsLinkedTo(first)) return false;
  // A chain head that no entry links to leads through clusters linked to
  // once each, up to where another chain joins it: no two such walks share
  // a cluster, so, each walked once and to its end, all of them together
  // cost one pass over the FAT.
  auto found = ownChainLength_.find(first);
  if (found == ownChainLength_.end()) {
    ClusterChain chain;
    const auto alone = [&](std::uint32_t cluster) { return !allocation.IsLinkedToTwice(cluster); };
    const std::uint32_t maxLinks = lastCluster_ != 0 ? lastCluster_ : kMaxUnboundedDirectoryClusters;
    const ClusterChainBuild build = BuildChainWhile(reader_, volume_, lastCluster_, first, maxLinks, alone, chain);
    const std::uint64_t length = build.end == ChainEnd::endOfChain ? chain.size() : 0;
    found = ownChainLength_.emplace(first, length).first;
  }
  return found->second == clusters;
}

std::uint32_t DeletedClusterResolver::CandidateCount(std::uint32_t low) const {
  if (volume_.fsType != FsType::fat32 || low == 0 || low > 0xFFFF || lastCluster_ < low) return 1;
  return std::min((lastCluster_ - low) / kHighWordStep + 1, kMaxCandidates);
}

bool DeletedClusterResolver::Survives(std::uint64_t first, std::uint64_t clusters, const ItemStore& store) {
  if (first < 2 || first + clusters - 1 > lastCluster_) return false;
  const auto cluster = static_cast<std::uint32_t>(first);
  if (walked_.clusters.contains(cluster) || store.FindFatFolder(cluster)) return false;
  return !Allocation().AnyAllocated(first, clusters);
}

bool DeletedClusterResolver::IsFolderOf(std::uint32_t cluster, std::uint32_t parentCluster) {
  SectorBuffer sector{};
  if (!reader_.ReadSectors(volume_.ClusterToSector(cluster), 1, sector)) return false;
  if (!BeginsWithDotEntries(sector) || DotCluster(sector, 0) != cluster) return false;
  // A child of the FAT32 root may name the root as 0 or by its cluster.
  const std::uint32_t parent = DotCluster(sector, 32);
  return parent == parentCluster || (parentCluster == 0 && parent == volume_.RootCluster());
}

DeletedClusterResolver::FirstClusterChoice DeletedClusterResolver::Choose(std::uint32_t low, std::uint64_t clusters,
                                                                          std::uint32_t parentCluster,
                                                                          const ItemStore& store, bool clearingShown) {
  const std::uint32_t count = CandidateCount(low);
  // A folder lies in the band of 65,536 clusters its parent lies in, often
  // enough to take it as the high word a Windows deletion cleared.
  const std::uint64_t band = std::uint64_t{parentCluster} / kHighWordStep * kHighWordStep + low;
  if (band != low && band <= lastCluster_ && Survives(band, clusters, store)) {
    return {static_cast<std::uint32_t>(band), true};
  }
  const auto otherSurvivor = [&]() -> std::optional<std::uint32_t> {
    for (std::uint32_t k = 1; k < count && !Stopped(); ++k) {
      const std::uint64_t candidate = low + std::uint64_t{k} * kHighWordStep;
      if (Survives(candidate, clusters, store)) return static_cast<std::uint32_t>(candidate);
    }
    return std::nullopt;
  };
  if (Survives(low, clusters, store)) {
    // Its own word is taken as it is; where this volume's deleted folders
    // show the high word cleared, another band could hold it just as well.
    return {low, clearingShown && otherSurvivor().has_value()};
  }
  // Its own clusters are taken. Without a sign that the high word was
  // cleared, they were taken after it was deleted: it stays where its entry
  // says, and is marked overwritten there.
  if (clearingShown) {
    if (const auto other = otherSurvivor()) return {*other, true};
  }
  return {low, false};
}

std::uint32_t DeletedClusterResolver::FolderCluster(std::uint32_t low, std::uint32_t parentCluster,
                                                    const ItemStore& store) {
  const std::uint32_t count = CandidateCount(low);
  if (count < 2) return low;
  std::uint32_t probes = 0;
  const std::uint64_t band = std::uint64_t{parentCluster} / kHighWordStep * kHighWordStep + low;
  // Its own "." entry names the folder even where the FAT still holds its
  // chain (a folder whose entry alone was deleted).
  const auto isOwn = [&](std::uint64_t candidate) {
    if (probes >= kMaxFolderProbes || candidate < 2 || candidate > lastCluster_) return false;
    const auto cluster = static_cast<std::uint32_t>(candidate);
    if (walked_.clusters.contains(cluster) || store.FindFatFolder(cluster)) return false;
    ++probes;
    return IsFolderOf(cluster, parentCluster);
  };
  const auto found = [&](std::uint64_t candidate) {
    // Found past 65,535 by its own "." entry while its entry names the low
    // word alone: proof that this volume's deletions clear the high word.
    if (candidate > 0xFFFF) ++foldersFoundPastLowWord_;
    return static_cast<std::uint32_t>(candidate);
  };
  if (isOwn(band)) return found(band);
  for (std::uint32_t k = 0; k < count && probes < kMaxFolderProbes; ++k) {
    const std::uint64_t candidate = low + std::uint64_t{k} * kHighWordStep;
    if (candidate != band && isOwn(candidate)) return found(candidate);
  }
  // No directory begins where any candidate lies: it is read, and shown
  // empty, where its entry says.
  return low;
}

void DeletedClusterResolver::InferLayouts(ItemStore& store) {
  const std::uint64_t clusterBytes = std::uint64_t{volume_.sectorsPerCluster} * kSectorSize;
  const ClusterAllocation& allocation = Allocation();
  auto& files = store.FatFiles();
  for (std::uint32_t position = 0; position < files.Size(); ++position) {
    files.At(position).clusterRuns.clear();
    files.At(position).fragmentInferred = false;
  }
  if (!allocation.Known() || Stopped()) return;
  const std::uint64_t limit = std::uint64_t{lastCluster_} + 1;
  const auto freeCluster = [&](std::uint32_t cluster) {
    return cluster >= 2 && cluster < limit && !allocation.AnyAllocated(cluster, 1);
  };
  // Free clusters that are not a deleted file's to take: those read as
  // directories, deleted folders' first ones and live files' first ones.
  std::vector<std::uint32_t> held;
  for (const std::uint32_t cluster : walked_.clusters) {
    if (freeCluster(cluster)) held.push_back(cluster);
  }
  for (const FatFolderItem& folder : store.FatFolders().Items()) {
    if (freeCluster(folder.firstCluster)) held.push_back(folder.firstCluster);
  }
  for (const FatFileItem& file : files.Items()) {
    if (!file.deleted && freeCluster(file.firstCluster)) held.push_back(file.firstCluster);
  }
  std::sort(held.begin(), held.end());
  held.erase(std::unique(held.begin(), held.end()), held.end());
  // One file per first cluster: the first listed; the others stay as they
  // are, and are marked where they meet it.
  std::vector<std::uint32_t> order;
  for (std::uint32_t position = 0; position < files.Size(); ++position) {
    const FatFileItem& file = files.Items()[position];
    if (file.deleted && file.size > 0 && !file.noClusterFits && freeCluster(file.firstCluster) &&
        !std::binary_search(held.begin(), held.end(), file.firstCluster)) {
      order.push_back(position);
    }
  }
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return files.Items()[a].firstCluster < files.Items()[b].firstCluster;
  });
  order.erase(std::unique(order.begin(), order.end(),
                          [&](std::uint32_t a, std::uint32_t b) {
                            return files.Items()[a].firstCluster == files.Items()[b].firstCluster;
                          }),
              order.end());
  std::vector<DeletedFileStart> starts;
  starts.reserve(order.size());
  for (const std::uint32_t position : order) {
    const FatFileItem& file = files.Items()[position];
    starts.push_back({file.firstCluster, (std::uint64_t{file.size} + clusterBytes - 1) / clusterBytes,
                      DosStampSeconds(file.writeDate, file.writeTime).value_or(0)});
  }
  const FatOccupancy occupancy(allocation, std::move(held));
  std::vector<DeletedFileLayout> layouts = InferDeletedFileLayouts(starts, occupancy, limit, &stop_);
  for (std::size_t i = 0; i < order.size(); ++i) {
    // One run is what consecutive clusters from the first one give anyway,
    // unless another file could have taken them.
    if (layouts[i].runs.empty() || (layouts[i].runs.size() < 2 && !layouts[i].contested)) continue;
    FatFileItem& file = files.At(order[i]);
    file.clusterRuns = std::move(layouts[i].runs);
    file.fragmentInferred = true;
  }
}

void DeletedClusterResolver::ResolveFiles(ItemStore& store) {
  const std::uint64_t clusterBytes = std::uint64_t{volume_.sectorsPerCluster} * kSectorSize;
  if (clusterBytes == 0) return;
  const auto clustersOf = [&](const FatFileItem& file) {
    return std::max<std::uint64_t>(1, (std::uint64_t{file.size} + clusterBytes - 1) / clusterBytes);
  };
  auto& files = store.FatFiles();
  const ItemCounters& counters = store.counters;
  const bool clearingShown = counters.deletedFoldersFoundPastLowWord + foldersFoundPastLowWord_ > 0;
  // A volume whose deleted entries keep their high words, and none shows it
  // cleared, names its deleted files' clusters whole: nothing is guessed.
  const bool keepingShown = counters.deletedEntriesKeepingHighWord > 0 && !clearingShown;
  for (std::uint32_t position = 0; position < files.Size() && !Stopped() && !keepingShown; ++position) {
    FatFileItem& file = files.At(position);
    if (!file.highWordCleared || CandidateCount(file.firstCluster) < 2) continue;
    const FirstClusterChoice chosen =
        Choose(file.firstCluster, clustersOf(file), file.parentCluster, store, clearingShown);
    file.firstCluster = chosen.cluster;
    file.clusterInferred = chosen.guessed;
  }
  if (!Stopped()) InferLayouts(store);
  CutRunsAtVolumeEnd(store);
  // Where a live file or folder starts, its chain is its own, not a deleted
  // file's: a folder made after the file was deleted can take its clusters.
  std::unordered_set<std::uint32_t> liveStarts;
  std::vector<std::uint32_t> ownChain;  // positions, ascending
  for (const FatFileItem& file : files.Items()) {
    if (!file.deleted) liveStarts.insert(file.firstCluster);
  }
  for (const FatFolderItem& folder : store.FatFolders().Items()) {
    if (!folder.deleted) liveStarts.insert(folder.firstCluster);
  }
  if (volume_.fsType == FsType::fat32) liveStarts.insert(volume_.RootCluster());
  std::vector<std::uint32_t> directoryClusters(walked_.clusters.begin(), walked_.clusters.end());
  std::sort(directoryClusters.begin(), directoryClusters.end());
  for (std::uint32_t position = 0; position < files.Size() && !Stopped(); ++position) {
    FatFileItem& file = files.At(position);
    if (!file.deleted || file.size == 0 || file.noClusterFits) continue;
    const auto taken = [&](std::uint64_t first, std::uint64_t count) {
      return AnyIn(directoryClusters, first, count) || Allocation().AnyAllocated(first, count);
    };
    if (file.fragmentInferred) {
      // Clusters worked out around other files are free ones; those of a run
      // cut at the volume's end may not be.
      for (const ClusterRun& run : file.clusterRuns) file.overwritten = file.overwritten || taken(run.first, run.count);
      continue;
    }
    const std::uint64_t clusters = clustersOf(file);
    // A cluster read as a folder's directory holds its entries, whatever
    // the FAT says of it (a deleted folder's is free).
    const bool holdsDirectory = AnyIn(directoryClusters, file.firstCluster, clusters);
    if (!holdsDirectory && !Allocation().AnyAllocated(file.firstCluster, clusters)) continue;
    // An entry deleted while its chain stays (the FAT untouched) still owns
    // its clusters, when the chain has just the length its size needs.
    if (!holdsDirectory && !liveStarts.contains(file.firstCluster) && OwnsChain(file.firstCluster, clusters)) {
      ownChain.push_back(position);
      continue;
    }
    file.overwritten = true;
  }
  if (!Stopped()) MarkConflicts(store, ownChain);
}

void DeletedClusterResolver::CutRunsAtVolumeEnd(ItemStore& store) {
  const std::uint64_t clusterBytes = std::uint64_t{volume_.sectorsPerCluster} * kSectorSize;
  for (std::uint32_t position = 0; position < store.FatFiles().Size(); ++position) {
    FatFileItem& file = store.FatFiles().At(position);
    if (!file.deleted || file.size == 0 || file.noClusterFits || !file.clusterRuns.empty() || file.firstCluster < 2 ||
        file.firstCluster > lastCluster_) {
      continue;
    }
    const std::uint64_t clusters = (file.size + clusterBytes - 1) / clusterBytes;
    const std::uint64_t inside = std::uint64_t{lastCluster_} - file.firstCluster + 1;
    if (clusters <= inside) continue;
    file.clusterRuns = {{file.firstCluster, static_cast<std::uint32_t>(inside)}};
    file.fragmentInferred = true;
  }
}

void DeletedClusterResolver::MarkConflicts(ItemStore& store, const std::vector<std::uint32_t>& ownChain) {
  const std::uint64_t clusterBytes = std::uint64_t{volume_.sectorsPerCluster} * kSectorSize;
  auto& files = store.FatFiles();
  std::vector<FileExtent> extents;
  for (std::uint32_t position = 0; position < files.Size(); ++position) {
    FatFileItem& file = files.At(position);
    file.conflictsWith.clear();
    // A chain the FAT still holds whole is its file's own: no other deleted
    // file can claim it without being marked overwritten.
    if (!file.deleted || file.size == 0 || file.noClusterFits || file.firstCluster < 2 ||
        std::binary_search(ownChain.begin(), ownChain.end(), position)) {
      continue;
    }
    if (!file.clusterRuns.empty()) {
      for (const ClusterRun& run : file.clusterRuns) extents.push_back({run.first, run.count, position});
    } else {
      extents.push_back({file.firstCluster, (std::uint64_t{file.size} + clusterBytes - 1) / clusterBytes, position});
    }
  }
  for (const auto& [a, b] : OverlappingFiles(std::move(extents), kMaxConflictsNamed)) {
    for (const auto& [file, other] : {std::pair{a, b}, std::pair{b, a}}) {
      std::vector<std::uint32_t>& named = files.At(file).conflictsWith;
      if (named.size() < kMaxConflictsNamed) named.push_back(other);
    }
  }
}

}  // namespace salvex
