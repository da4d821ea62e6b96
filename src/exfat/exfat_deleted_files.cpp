#include "exfat/exfat_deleted_files.h"

#include <algorithm>
#include <vector>

#include "exfat/exfat_chain.h"
#include "fat/cluster_conflicts.h"
#include "fat/deleted_file_layout.h"

namespace salvex {
namespace {

// Other files a file is said to share clusters with: enough to find them,
// and bounded when many deleted entries claim the same clusters.
constexpr std::size_t kMaxConflictsNamed = 16;

class TakenClusters final : public ClusterOccupancy {
 public:
  explicit TakenClusters(const ExfatBitmap& taken) : taken_(taken) {}
  std::uint64_t CountTaken(std::uint64_t first, std::uint64_t count) const override {
    return taken_.CountUsed(first, count);
  }

 private:
  const ExfatBitmap& taken_;
};

class DeletedFileSettler {
 public:
  DeletedFileSettler(SectorReader& reader, const VolumeParameters& volume, std::uint32_t lastCluster,
                     const ExfatClusterUse& use, ItemStore& store)
      : reader_(reader),
        volume_(volume),
        lastCluster_(lastCluster),
        clusterBytes_(std::uint64_t{volume.sectorsPerCluster} * kSectorSize),
        use_(use),
        files_(store.FatFiles()) {
    taken_.MarkUsed(use.inUse);
    taken_.MarkUsed(use.held);
  }

  void Settle(std::span<const ExfatDeletedFile> deleted) {
    std::vector<std::uint32_t> chainLost;
    for (const ExfatDeletedFile& entry : deleted) {
      FatFileItem& file = files_.At(entry.position);
      file.clusterRuns.clear();
      file.fragmentInferred = file.chainAssumed = file.overwritten = false;
      if (!Placeable(file)) continue;
      if (auto runs = KnownRuns(file, entry.noFatChain)) {
        file.clusterRuns = std::move(*runs);
      } else {
        chainLost.push_back(entry.position);
      }
    }
    // Known clusters are no other deleted file's to take.
    for (const ExfatDeletedFile& entry : deleted) taken_.MarkUsed(files_.At(entry.position).clusterRuns);
    InferLayouts(chainLost);
    for (const ExfatDeletedFile& entry : deleted) {
      FatFileItem& file = files_.At(entry.position);
      file.overwritten = use_.inUse.AnyUsed(file.clusterRuns);
    }
  }

 private:
  std::uint64_t ClustersOf(const FatFileItem& file) const { return (file.size + clusterBytes_ - 1) / clusterBytes_; }

  bool Placeable(const FatFileItem& file) const {
    return clusterBytes_ != 0 && file.size > 0 && file.firstCluster >= 2 && file.firstCluster <= lastCluster_;
  }

  // Consecutive clusters from `first`, never past the volume's last one.
  std::vector<ClusterRun> RunFrom(std::uint32_t first, std::uint64_t clusters) const {
    const std::uint64_t fits = std::min<std::uint64_t>(clusters, std::uint64_t{lastCluster_} - first + 1);
    return {{first, static_cast<std::uint32_t>(fits)}};
  }

  // Where the file's clusters are known to lie: from its entry alone, or
  // along a chain the FAT still holds for it.
  std::optional<std::vector<ClusterRun>> KnownRuns(const FatFileItem& file, bool noFatChain) {
    const std::uint64_t clusters = ClustersOf(file);
    if (noFatChain || clusters == 1) return RunFrom(file.firstCluster, clusters);
    std::vector<std::uint32_t> chain;
    const ExfatChainEnd end =
        FollowExfatChain(reader_, volume_, lastCluster_, file.firstCluster, clusters + 1, chain, &walked_);
    std::vector<ClusterRun> runs = RunsOfChain(chain);
    // A chain that goes on past the size, or over clusters in use, belongs
    // to something written later.
    if (end == ExfatChainEnd::endOfChain && chain.size() == clusters && !taken_.AnyUsed(runs)) return runs;
    return std::nullopt;
  }

  void InferLayouts(const std::vector<std::uint32_t>& chainLost) {
    // One file per first cluster, a free one: the first listed; the others
    // are read from consecutive clusters, and marked where they meet it.
    std::vector<std::uint32_t> order;
    for (const std::uint32_t position : chainLost) {
      if (!taken_.IsUsed(files_.Items()[position].firstCluster)) order.push_back(position);
    }
    const auto firstOf = [&](std::uint32_t position) { return files_.Items()[position].firstCluster; };
    std::stable_sort(order.begin(), order.end(), [&](auto a, auto b) { return firstOf(a) < firstOf(b); });
    order.erase(std::unique(order.begin(), order.end(), [&](auto a, auto b) { return firstOf(a) == firstOf(b); }),
                order.end());
    std::vector<DeletedFileStart> starts;
    starts.reserve(order.size());
    for (const std::uint32_t position : order) starts.push_back({firstOf(position), ClustersOf(files_.Items()[position])});
    std::vector<DeletedFileLayout> layouts =
        InferDeletedFileLayouts(starts, TakenClusters(taken_), std::uint64_t{lastCluster_} + 1);
    for (std::size_t i = 0; i < order.size(); ++i) {
      if (layouts[i].runs.size() < 2) continue;
      FatFileItem& file = files_.At(order[i]);
      file.clusterRuns = std::move(layouts[i].runs);
      file.fragmentInferred = true;
    }
    for (const std::uint32_t position : chainLost) {
      FatFileItem& file = files_.At(position);
      if (file.fragmentInferred) continue;
      file.clusterRuns = RunFrom(file.firstCluster, ClustersOf(file));
      file.chainAssumed = true;
    }
  }

  SectorReader& reader_;
  const VolumeParameters& volume_;
  const std::uint32_t lastCluster_;
  const std::uint64_t clusterBytes_;
  const ExfatClusterUse& use_;
  ItemList<FatFileItem>& files_;
  ExfatBitmap taken_;   // in use, held, or a deleted file's known clusters
  ExfatBitmap walked_;  // FAT entries already followed
};

}  // namespace

void SettleExfatDeletedFiles(SectorReader& reader, const VolumeParameters& volume, std::uint32_t lastCluster,
                             const ExfatClusterUse& use, std::span<const ExfatDeletedFile> files, ItemStore& store) {
  DeletedFileSettler(reader, volume, lastCluster, use, store).Settle(files);
  MarkExfatConflicts(store);
}

void MarkExfatConflicts(ItemStore& store) {
  auto& files = store.FatFiles();
  std::vector<FileExtent> extents;
  for (std::uint32_t position = 0; position < files.Size(); ++position) {
    FatFileItem& file = files.At(position);
    file.conflictsWith.clear();
    if (!file.deleted) continue;
    for (const ClusterRun& run : file.clusterRuns) extents.push_back({run.first, run.count, position});
  }
  for (const auto& [a, b] : OverlappingFiles(std::move(extents), kMaxConflictsNamed)) {
    for (const auto& [file, other] : {std::pair{a, b}, std::pair{b, a}}) {
      std::vector<std::uint32_t>& named = files.At(file).conflictsWith;
      if (named.size() < kMaxConflictsNamed) named.push_back(other);
    }
  }
}

}  // namespace salvex
