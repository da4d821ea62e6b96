#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/sector.h"
#include "platform/block_device_catalogue.h"
#include "platform/ui_port.h"

namespace salvex {

// One disk the user can pick: a block device or a disk image.
struct DiskInfo {
  std::uint32_t cylinders = 0;
  std::uint32_t heads = 0;
  std::uint32_t sectorsPerTrack = 0;
  std::uint64_t sizeSectors = 0;  // the disk's real size
  // What the whole-disk range covers: every sector up to the end, the
  // last partial cylinder too (cylinders are for display only).
  SectorNumber totalSectors = 0;
  std::string model;
  // What the device calls itself (its sysfs model, padding kept), which
  // `model` does not say of a USB disk; empty for an image.
  std::string product;
  bool usb = false;        // on a USB bus
  bool isImage = false;    // a disk-image file, not a device
  std::string devicePath;  // what the sector reader opens
  std::string mapPath;     // an image's ddrescue map, for an image made by this program
  bool hasMedia = false;
};

inline constexpr std::size_t kMaxDisks = 32;
inline constexpr const char* kNoMediaModel = "Media missing or not inserted";

struct DiskTable {
  // Disks with media come first, slots 0 to diskCount - 1; devices without
  // media follow them, so every listed slot names a readable disk.
  std::vector<DiskInfo> disks;
  std::uint16_t diskCount = 0;
};

// A user-supplied disk image, listed after the physical disks.
struct DiskImageEntry {
  std::string path;
  std::uint64_t sizeBytes = 0;
};

// Builds the disk table from the block devices and the images, at most 32.
DiskTable EnumerateDisks(const std::vector<BlockDeviceEntry>& devices, const std::vector<DiskImageEntry>& images);

// Adds an image after the disks with media already listed (the slots of
// those keep their numbers) and returns its slot; the slot it has already
// when the same path is listed. None when the table holds 32 readable disks.
std::optional<std::uint16_t> AddDiskImage(DiskTable& table, const DiskImageEntry& image);

}  // namespace salvex
