#include "wizard/step_panel_texts.h"

#include "deepscan/found_file_system.h"

namespace salvex::wizard {
namespace {

// A found file system's first sector is its boot sector's only where the
// FAT's place gave it away (or, for NTFS, always); else it is where the
// data begins, which must not pass for the volume's start.
template <typename Geometry>
std::string StartText(const Geometry& geometry) {
  const bool bootSectorKnown = geometry.fsType == FsType::ntfs ||
                               (geometry.fat1Start != 0 && geometry.fat1Start >= geometry.reservedSectors);
  std::string text = std::to_string(FirstSectorOf(geometry));
  if (!bootSectorKnown) text += " (its data; no boot sector found)";
  return text;
}

}  // namespace

std::string FoundFileSystemToolTip(const FoundFileSystem& found) {
  return std::string(FsTypeText(found.fsType)) + " from sector " + StartText(found);
}

std::string DiskToolTip(const DiskInfo& disk) {
  return disk.devicePath + "\n" + disk.model + "\n" + std::to_string(disk.sizeSectors / 2048) + " MB";
}

std::string DiskPathText(const DiskInfo& disk) {
  return (disk.isImage ? "Image: " : "Device: ") + disk.devicePath;
}

PanelRows PartitionPanelRows(const ScanState& scan) {
  return {
      {"Partition Type", FsTypeText(scan.selectedFsType)},
      {"Partition Start", std::to_string(scan.rangeStart)},
      // The first sector past the range, as the range group's End Sector
      // and the whole disk have it: one meaning of an end.
      {"Partition End", std::to_string(std::uint64_t{scan.rangeStart} + scan.rangeSize)},
      {"Partition Size", std::to_string(scan.rangeSize / 2048) + " MB ( Aprox )"},
  };
}

PanelRows FoundFileSystemPanelRows(const VolumeParameters& volume) {
  const std::string size = std::to_string((volume.volumeEnd - volume.clusterBase) / 2048) + " MB";
  if (volume.fsType == FsType::ntfs) {
    return {{"File System Start", StartText(volume)},
            {"Sectors Per Cluster", std::to_string(volume.sectorsPerCluster)},
            {"MFT Start", std::to_string(volume.mftStart)},
            {"MFT Mirror Start", std::to_string(volume.mftMirrStart)},
            {"File System Size", size}};
  }
  return {{"File System Start", StartText(volume)},
          {"Sectors Per Cluster", std::to_string(volume.sectorsPerCluster)},
          {"File System Size", volume.volumeEnd == 0 ? "Unknown" : size}};
}

}  // namespace salvex::wizard
