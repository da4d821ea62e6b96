#pragma once

#include <cstdint>
#include <atomic>
#include <optional>
#include <unordered_map>
#include <vector>

#include "disk/sector_reader.h"
#include "fat/cluster_allocation.h"
#include "fat/walked_directories.h"
#include "items/item_store.h"
#include "volume/volume_parameters.h"

namespace salvex {

// Settles, for deleted FAT entries, what their bytes alone cannot tell: the
// first cluster of an entry whose high word was cleared, and whether the
// clusters a deleted file would be read from now belong to other files. The
// FAT is read once, on the first question.
class DeletedClusterResolver {
 public:
  // `stop` (the scan's Stop) ends the work early: what is left unsettled
  // stays as the entries gave it.
  DeletedClusterResolver(SectorReader& reader, const VolumeParameters& volume, std::uint32_t lastCluster,
                         const WalkedDirectories& walked, const std::atomic<bool>& stop);

  // The first cluster of a deleted folder entry whose high word may have
  // been cleared, chosen among low + k * 65536: the one whose first sector is
  // a folder whose "." names it and whose ".." names `parentCluster`
  // (allocated or not), else the low word itself.
  std::uint32_t FolderCluster(std::uint32_t low, std::uint32_t parentCluster, const ItemStore& store);

  // Chooses the first cluster of every deleted FAT32 file whose high word is
  // 0 where the volume shows that its deletions clear it or does not show
  // that they keep it (see Choose); works out the clusters of the deleted files
  // that start on a free cluster, all together (see InferDeletedFileLayouts),
  // keeping those that do not lie in one run; then marks the deleted files
  // whose clusters the FAT now gives to other files: allocated, and not
  // along a chain of their own (one of just their length, from a cluster
  // that no live file starts and no other entry links to, meeting no other
  // chain); and names, for each deleted file, the others whose clusters
  // overlap its own. Linear in the FAT's size: each cluster is followed at
  // most once.
  void ResolveFiles(ItemStore& store);

 private:
  const ClusterAllocation& Allocation();
  // How many first clusters low + k * 65536 the volume holds.
  std::uint32_t CandidateCount(std::uint32_t low) const;
  bool Survives(std::uint64_t first, std::uint64_t clusters, const ItemStore& store);
  bool IsFolderOf(std::uint32_t cluster, std::uint32_t parentCluster);
  // Whether the FAT holds a chain of exactly `clusters` from `first` that no
  // other chain reaches into.
  bool OwnsChain(std::uint32_t first, std::uint64_t clusters);
  bool Stopped() const { return stop_.load(std::memory_order_relaxed); }
  void InferLayouts(ItemStore& store);
  // A deleted file read from consecutive clusters that would pass the
  // volume's last one lay partly elsewhere: it is read from those inside,
  // marked as worked out (fragmentInferred), and the rest comes back as
  // zeros; no read leaves the volume.
  void CutRunsAtVolumeEnd(ItemStore& store);
  // Names, for every deleted file, the other deleted files that would be
  // read from some of the same clusters (not those along their own chain).
  void MarkConflicts(ItemStore& store, const std::vector<std::uint32_t>& ownChain);
  struct FirstClusterChoice {
    std::uint32_t cluster = 0;
    bool guessed = false;  // another band could hold the file as well: shown as a doubt
  };
  // Where a deleted file of `clusters` whose entry names `low` starts: in
  // its parent folder's band of 65,536 clusters when its clusters there are
  // free (a guess); else at `low` when its clusters there are free (a guess
  // only where the volume shows cleared high words and another band is free
  // too); else, where the volume shows cleared high words, in the lowest band
  // whose clusters are free (a guess); else at `low`, where what now holds
  // its clusters marks it overwritten.
  FirstClusterChoice Choose(std::uint32_t low, std::uint64_t clusters, std::uint32_t parentCluster,
                            const ItemStore& store, bool clearingShown);

  SectorReader& reader_;
  const VolumeParameters& volume_;
  std::uint32_t lastCluster_;
  const WalkedDirectories& walked_;
  const std::atomic<bool>& stop_;
  std::optional<ClusterAllocation> allocation_;
  // By chain head: the length of the chain it owns to its end mark, 0 when
  // it owns none (see OwnsChain).
  std::unordered_map<std::uint32_t, std::uint64_t> ownChainLength_;
  // Deleted folders FolderCluster found past 65,535 by their "." entry.
  std::uint32_t foldersFoundPastLowWord_ = 0;
};

}  // namespace salvex
