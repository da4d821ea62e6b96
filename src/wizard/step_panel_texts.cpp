#include "wizard/step_panel_texts.h"

#include "deepscan/found_file_system.h"

namespace salvex::wizard {

std::string DiskToolTip(const DiskInfo& disk) {
  return disk.devicePath + "\n" + disk.model + "\n" + std::to_string(disk.sizeSectors / 2048) + " MB";
}

PanelRows PartitionPanelRows(const ScanState& scan) {
  return {
      {"Partition Type", FsTypeText(scan.selectedFsType)},
      {"Partition Start", std::to_string(scan.rangeStart)},
      {"Partition End", std::to_string(scan.rangeEnd)},
      {"Partition Size", std::to_string(scan.rangeSize / 2048) + " MB ( Aprox )"},
  };
}

PanelRows FoundFileSystemPanelRows(const VolumeParameters& volume) {
  const std::string size = std::to_string((volume.volumeEnd - volume.clusterBase) / 2048) + " MB";
  if (volume.fsType == FsType::ntfs) {
    return {{"File System Start", std::to_string(FirstSectorOf(volume))},
            {"Sectors Per Cluster", std::to_string(volume.sectorsPerCluster)},
            {"MFT Start", std::to_string(volume.mftStart)},
            {"MFT Mirror Start", std::to_string(volume.mftMirrStart)},
            {"File System Size", size}};
  }
  return {{"File System Start", std::to_string(FirstSectorOf(volume))},
          {"Sectors Per Cluster", std::to_string(volume.sectorsPerCluster)},
          {"File System Size", volume.volumeEnd == 0 ? "Unknown" : size}};
}

}  // namespace salvex::wizard
