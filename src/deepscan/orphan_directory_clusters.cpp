#include "deepscan/orphan_directory_clusters.h"

#include <algorithm>

#include "deepscan/directory_reader.h"
#include "fat/fat_walk.h"

namespace salvex {
namespace {

// The clusters, in ascending order and each once, that hold a swept
// directory sector and that no folder read.
std::vector<std::uint32_t> OrphanClusters(const VolumeParameters& volume, std::uint32_t lastCluster,
                                          const std::vector<SectorNumber>& sectors, const WalkedDirectories& walked,
                                          const ItemStore& store) {
  std::vector<std::uint32_t> clusters;
  const std::uint64_t firstData = std::uint64_t{volume.clusterBase} + 2ull * volume.sectorsPerCluster;
  for (const SectorNumber sector : sectors) {
    if (sector < firstData) continue;  // a FAT16 root, or not this volume
    const std::uint64_t cluster = (sector - std::uint64_t{volume.clusterBase}) / volume.sectorsPerCluster;
    if (cluster > lastCluster) continue;
    const auto number = static_cast<std::uint32_t>(cluster);
    if (walked.clusters.contains(number) || store.FindFatFolder(number)) continue;
    clusters.push_back(number);
  }
  std::sort(clusters.begin(), clusters.end());
  clusters.erase(std::unique(clusters.begin(), clusters.end()), clusters.end());
  return clusters;
}

}  // namespace

void ListOrphanDirectoryClusters(VolumeContext& context, ItemStore& store,
                                 const std::vector<SectorNumber>& directorySectors, const WalkedDirectories& walked) {
  const VolumeParameters& volume = context.volume;
  if (volume.sectorsPerCluster == 0 || directorySectors.empty()) return;
  DirectoryDecodeContext decode{store, volume.fsType, FatEntryLimits(volume, LastVolumeSector(volume, context.scan))};
  // Unknown limits: the clusters the range holds bound the search.
  const std::uint32_t lastCluster = decode.limits.lastCluster != 0 ? decode.limits.lastCluster : UINT32_MAX;
  const std::vector<std::uint32_t> orphans = OrphanClusters(volume, lastCluster, directorySectors, walked, store);
  DirectoryReader reader(context, decode);
  ClusterChain run;
  for (std::size_t i = 0; i < orphans.size() && !context.scan.StopRequested();) {
    const auto openEnd = walked.openEnds.find(orphans[i]);
    const bool continues = openEnd != walked.openEnds.end();
    const std::uint32_t parent = continues ? openEnd->second.folderCluster : kLostEntriesKey;
    // No folder is larger than FAT allows, whatever the sweep found after it.
    const std::size_t readBefore = continues ? openEnd->second.clustersRead : 0;
    const std::size_t room =
        readBefore < kMaxUnboundedDirectoryClusters ? kMaxUnboundedDirectoryClusters - readBefore : 1;
    // A run of consecutive clusters is read as one directory, so that long
    // names crossing a cluster boundary are read whole.
    run.assign(1, orphans[i]);
    while (run.size() < room && i + run.size() < orphans.size() && orphans[i + run.size()] == run.back() + 1) {
      run.push_back(orphans[i + run.size()]);
    }
    const DirectoryRead read = reader.ReadClusters(run, parent, true, false, continues);
    // After its end mark the run is another directory's.
    i += std::max<std::size_t>(1, read.clustersRead);
  }
}

}  // namespace salvex
