#include "deepscan/found_file_system.h"


namespace salvex {

void AddFoundFileSystem(DeepScanState& state, const FoundFileSystem& found) { state.found.push_back(found); }

bool SelectFoundFileSystem(const DeepScanState& state, std::uint16_t ordinal, VolumeParameters& volume) {
  if (ordinal == 0 || ordinal > state.found.size()) return false;
  const FoundFileSystem& found = state.found[ordinal - 1];
  volume.foundFsOrdinal = ordinal;
  volume.fsType = found.fsType;
  volume.sectorsPerFat = found.sectorsPerFat;
  volume.sectorsPerCluster = found.sectorsPerCluster;
  volume.clusterBase = found.clusterBase;
  volume.volumeEnd = found.volumeEnd;
  if (found.fsType == FsType::ntfs) {
    volume.mftStart = found.mftStart;
    volume.mftMirrStart = found.mftMirrStart;
    volume.indexBufferSectors = found.indexBufferSectors;
  } else {
    volume.rootDirSectors = found.rootDirSectors;
    volume.rootDirStart = found.rootDirStart;
    volume.reservedSectors = found.reservedSectors;
    volume.fat1Start = found.fat1Start;
    volume.fat2Start = found.fat2Start;
  }
  return true;
}


std::vector<std::uint32_t> ClaimedHitCounts(const DeepScanState& state) {
  std::vector<std::uint32_t> counts(state.found.size() + 1, 0);
  const auto count = [&](const auto& hits) {
    for (const auto& hit : hits) {
      if (hit.candidate != kUnclaimed && hit.candidate < counts.size()) ++counts[hit.candidate];
    }
  };
  // A file system claims folder clusters (FAT), folder entry sets and root
  // directories (exFAT) or MFT folder records (NTFS).
  count(state.hits.folderClusters);
  count(state.hits.exfatFolders);
  count(state.hits.exfatRoots);
  count(state.hits.mftFolders);
  return counts;
}

}  // namespace salvex
