#include "disk/disk_table.h"

#include <algorithm>

#include "common/sector.h"

namespace salvex {
namespace {

// Disks that do not report a geometry are described with the one every
// partitioning tool has used since the 1990s.
constexpr std::uint32_t kDefaultHeads = 255;
constexpr std::uint32_t kDefaultSectorsPerTrack = 63;

// The floppy formats of the 5.25" and 3.5" drives, known by their size: 160
// KB to 2.88 MB.
struct FloppyFormat {
  std::uint64_t sectors;
  DriveGeometry geometry;
};
constexpr FloppyFormat kFloppyFormats[] = {
    {320, {1, 8}},   {360, {1, 9}},    {640, {2, 8}},    {720, {2, 9}},   {1440, {2, 9}},
    {2400, {2, 15}}, {2880, {2, 18}},  {3360, {2, 21}},  {5760, {2, 36}},
};

// A geometry for a disk that reports none: a floppy's own, else 255 heads of
// 63 sectors; a disk smaller than one such cylinder (a small card) gets the
// 16 heads a BIOS gives it, so that it has cylinders at all.
DriveGeometry GeometryBySize(std::uint64_t sizeSectors) {
  for (const FloppyFormat& floppy : kFloppyFormats) {
    if (floppy.sectors == sizeSectors) return floppy.geometry;
  }
  constexpr std::uint32_t kSmallHeads = 16;
  if (sizeSectors < std::uint64_t{kDefaultHeads} * kDefaultSectorsPerTrack) {
    return {kSmallHeads, kDefaultSectorsPerTrack};
  }
  return {kDefaultHeads, kDefaultSectorsPerTrack};
}

DiskInfo DescribeDisk(std::uint64_t sizeSectors, DriveGeometry geometry) {
  DiskInfo disk;
  if (geometry.heads == 0 || geometry.sectorsPerTrack == 0) geometry = GeometryBySize(sizeSectors);
  disk.heads = geometry.heads;
  disk.sectorsPerTrack = geometry.sectorsPerTrack;
  disk.cylinders = static_cast<std::uint32_t>(sizeSectors / (std::uint64_t{geometry.heads} * geometry.sectorsPerTrack));
  disk.sizeSectors = sizeSectors;
  disk.totalSectors = sizeSectors;
  disk.hasMedia = true;
  return disk;
}

DiskInfo DescribeImage(const DiskImageEntry& image) {
  DiskInfo disk = DescribeDisk(image.sizeBytes / kSectorSize, DriveGeometry{});
  disk.model = "Disk image";
  disk.isImage = true;
  disk.devicePath = image.path;
  return disk;
}

}  // namespace

DiskTable EnumerateDisks(const std::vector<BlockDeviceEntry>& devices, const std::vector<DiskImageEntry>& images) {
  DiskTable table;
  std::vector<DiskInfo> withoutMedia;
  for (const BlockDeviceEntry& device : devices) {
    if (device.sizeSectors == 0) {
      DiskInfo empty;
      empty.model = kNoMediaModel;
      empty.devicePath = device.devicePath;
      withoutMedia.push_back(std::move(empty));
      continue;
    }
    DiskInfo disk = DescribeDisk(device.sizeSectors, device.geometry.value_or(DriveGeometry{}));
    disk.model = device.isUsb ? "USB Device" : device.model;
    disk.product = device.model;
    disk.usb = device.isUsb;
    disk.devicePath = device.devicePath;
    table.disks.push_back(std::move(disk));
  }
  for (const DiskImageEntry& image : images) table.disks.push_back(DescribeImage(image));
  if (table.disks.size() > kMaxDisks) table.disks.resize(kMaxDisks);
  table.diskCount = static_cast<std::uint16_t>(table.disks.size());
  for (DiskInfo& disk : withoutMedia) {
    if (table.disks.size() == kMaxDisks) break;
    table.disks.push_back(std::move(disk));
  }
  return table;
}

std::optional<std::uint16_t> AddDiskImage(DiskTable& table, const DiskImageEntry& image) {
  for (std::uint16_t slot = 0; slot < table.diskCount; ++slot) {
    if (table.disks[slot].devicePath == image.path) return slot;
  }
  if (table.diskCount >= kMaxDisks) return std::nullopt;
  // A device without media gives way: it has no node to keep.
  if (table.disks.size() >= kMaxDisks) table.disks.pop_back();
  table.disks.insert(table.disks.begin() + table.diskCount, DescribeImage(image));
  return table.diskCount++;
}

}  // namespace salvex
