#include "platform/destination_check.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>

namespace salvex {
namespace {

// The sysfs directory of a block device: .../block/sdb for the disk,
// .../block/sdb/sdb1 for one of its partitions.
std::string SysfsPathOf(dev_t device, const std::string& sysRoot) {
  const std::string link =
      sysRoot + "/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::canonical(link, error);
  return error ? std::string() : resolved.string();
}

}  // namespace

DestinationRisk CheckDestination(const std::string& sourcePath, dev_t destinationDevice, const std::string& sysRoot) {
  struct stat source {};
  if (::stat(sourcePath.c_str(), &source) != 0) return DestinationRisk::none;
  if (S_ISREG(source.st_mode)) {
    return source.st_dev == destinationDevice ? DestinationRisk::sameFileSystemAsImage : DestinationRisk::none;
  }
  if (!S_ISBLK(source.st_mode)) return DestinationRisk::none;
  if (source.st_rdev == destinationDevice) return DestinationRisk::onScannedDisk;
  const std::string disk = SysfsPathOf(source.st_rdev, sysRoot);
  const std::string destination = SysfsPathOf(destinationDevice, sysRoot);
  if (!disk.empty() && destination.size() > disk.size() && destination.compare(0, disk.size(), disk) == 0 &&
      destination[disk.size()] == '/') {
    return DestinationRisk::onScannedDisk;
  }
  return DestinationRisk::none;
}

}  // namespace salvex
