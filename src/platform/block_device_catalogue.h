#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace salvex {

struct DriveGeometry {
  std::uint32_t heads = 0;
  std::uint32_t sectorsPerTrack = 0;
};

// A whole-disk block device as the kernel lists it.
struct BlockDeviceEntry {
  std::string devicePath;          // /dev/sda
  std::string model;               // sysfs device/model, padding kept
  bool isUsb = false;              // its sysfs path passes through a USB bus
  std::uint64_t sizeSectors = 0;   // 512-byte sectors; 0 when there is no media
  std::optional<DriveGeometry> geometry;  // HDIO_GETGEO, where the device answers
};

// Lists the disks under `sysBlockRoot` (sd*, nvme*n*, mmcblk*, vd*, and loop*
// devices that have a backing file), sorted by name. `devRoot` is where their
// device nodes live; it is only used to ask for the geometry.
std::vector<BlockDeviceEntry> ListBlockDevices(const std::string& sysBlockRoot = "/sys/block",
                                               const std::string& devRoot = "/dev");

}  // namespace salvex
