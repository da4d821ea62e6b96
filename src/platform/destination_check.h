#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace salvex {

enum class DestinationRisk {
  none,
  // The destination's file system lies on the disk being recovered (the
  // device itself or one of its partitions): writing there would overwrite
  // the very data being rescued.
  onScannedDisk,
  // The disk image being recovered lies on the destination's file system:
  // the image is safe, but the space may be needed.
  sameFileSystemAsImage,
};

// Compares the disk or image being recovered with the file system of the
// destination folder, following device-mapper, LVM, LUKS and md devices down
// to the disks they are built on, and file systems with a device number of
// their own (btrfs) to the device they were mounted from. `sysRoot` is where
// sysfs is mounted; `mountInfo` lists the mounts.
DestinationRisk CheckDestination(const std::string& sourcePath, dev_t destinationDevice,
                                 const std::string& sysRoot = "/sys",
                                 const std::string& mountInfo = "/proc/self/mountinfo");

// The file system (st_dev) of `path`, or of its nearest folder that exists
// already: where a file or folder still missing would be created. None when
// nothing along the path exists.
std::optional<dev_t> DeviceOfNearestExisting(const std::string& path);

}  // namespace salvex
