#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "disk/disk_table.h"

namespace salvex::wizard {

// The roots of the trees.
inline constexpr const char* kMyComputer = "My Computer";
inline constexpr const char* kFoundRoot = "File Systems";
inline constexpr const char* kItemsRoot = "Root";

// A disk node: "Storage Device" and the disk's number, then what tells the
// disk apart, which the number alone does not (numbers are given in the
// order disks are found): its model, or the image's file name, its bus when
// that is USB, and its size: "Storage Device2 — SanDisk Ultra (USB) 59.5 GB",
// "Storage Device4 — card.img 256 MB".
// With `partitions` (when known: an image's at once, a device's once it was
// opened), their count follows: "..., 2 partitions".
std::string DiskNodeCaption(std::uint32_t diskNumber, const DiskInfo& disk,
                            std::optional<std::uint32_t> partitions = std::nullopt);

// "Storage Device " and the disk's number: with a blank, unlike the disk
// tree's nodes.
std::string PartitionsRootCaption(std::uint32_t diskNumber);

}  // namespace salvex::wizard
