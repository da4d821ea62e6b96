#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "disk/disk_table.h"
#include "items/folder_tree_model.h"
#include "partition/partition_record.h"

namespace salvex::wizard {

// The roots of the trees.
inline constexpr const char* kMyComputer = "My Computer";
inline constexpr const char* kFoundRoot = "File Systems";
inline constexpr const char* kItemsRoot = "Root";

// A disk node: "Storage Device" and the disk's number, then what tells the
// disk apart, which the number alone does not (numbers are given in the
// order disks are found): its model, or the image's file name, and its bus
// when that is USB: "Storage Device2 — SanDisk Ultra (USB)",
// "Storage Device4 — card.img". Its size and partitions stand in columns of
// their own beside it.
std::string DiskNodeCaption(std::uint32_t diskNumber, const DiskInfo& disk);

// The disk tree as a table: Name (the caption), Size, Partitions.
std::vector<TreeColumn> DiskTreeColumns();
// A disk node's Size and Partitions cells. The count is blank until it is
// known: an image's at once, a device's once it was opened.
std::vector<std::string> DiskNodeCells(const DiskInfo& disk, std::optional<std::uint32_t> partitions);

// The partitions tree as a table: Name, File System, Size, Start (the type
// beside the name, the figures together on the right).
std::vector<TreeColumn> PartitionTreeColumns();
// A partition node's cells: its type, and its extent as the partition
// table gives it (the true one for a partition past 2 TiB).
std::vector<std::string> PartitionNodeCells(const PartitionRecord& record);
// The partitions tree's root, which stands for the whole disk from sector 0.
std::vector<std::string> WholeDiskCells(const DiskInfo& disk);

// "Storage Device " and the disk's number: with a blank, unlike the disk
// tree's nodes.
std::string PartitionsRootCaption(std::uint32_t diskNumber);

}  // namespace salvex::wizard
