#pragma once

#include <cstddef>
#include <string>

#include "deepscan/found_file_system.h"
#include "disk/disk_table.h"
#include "partition/partition_record.h"
#include "platform/ui_port.h"

namespace salvex {

// The names both front ends give the disks, partitions and found file
// systems, and the disk's panel.

// "Storage Device" followed by the slot number, no space.
std::string DiskCaption(std::size_t index);

// The disk step's information panel: Model, Capacity, Cylinders, Head,
// Sectors Per Track.
PanelRows DiskPanelRows(const DiskInfo& disk);

// "Partition " + (index + 1) + " - " + the type text.
std::string PartitionCaption(std::size_t index, FsType fsType);
// The same, or "Whole Disk - " + the type text for a volume without a table.
std::string PartitionCaption(std::size_t index, const PartitionRecord& record);

// "FAT12 @", "FAT16 @", "FAT32 @", "exFAT @" or "NTFS @" followed by the
// file system's first sector: the wizard's node and the command line's
// listing.
std::string FoundFileSystemCaption(const FoundFileSystem& found);

}  // namespace salvex
