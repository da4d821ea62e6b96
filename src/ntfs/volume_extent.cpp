#include "ntfs/volume_extent.h"

#include "common/sector.h"
#include "ntfs/mft_record.h"
#include "ntfs/run_list.h"

namespace salvex {

std::uint64_t NtfsVolumeClusters(const VolumeParameters& volume, SectorNumber lastSector) {
  if (volume.sectorsPerCluster == 0 || lastSector < volume.clusterBase) return 0;
  return (std::uint64_t{lastSector} - volume.clusterBase + 1) / volume.sectorsPerCluster;
}

VolumeBoundSize BoundToVolume(Bytes record, std::uint64_t size, std::uint64_t volumeClusters,
                              std::uint32_t sectorsPerCluster, std::string_view stream) {
  VolumeBoundSize bound{size, false};
  if (volumeClusters == 0) return bound;
  const std::uint64_t volumeBytes = volumeClusters * sectorsPerCluster * kSectorSize;
  if (size > volumeBytes) bound = {volumeBytes, true};
  const DataAttribute data = FindDataAttribute(record, stream);
  if (data.kind != DataKind::nonResident) return bound;
  const auto runs = DecodeDataRuns(record, data.offset);
  if (!runs) return bound;
  for (const DataRun& run : *runs) {
    if (!run.sparse && (run.firstCluster >= volumeClusters || run.clusterCount > volumeClusters - run.firstCluster)) {
      bound.beyondVolume = true;
    }
  }
  return bound;
}

}  // namespace salvex
