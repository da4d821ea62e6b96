#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace salvex::wizard {

// The roots of the trees.
inline constexpr const char* kMyComputer = "My Computer";
inline constexpr const char* kFoundRoot = "File Systems";
inline constexpr const char* kItemsRoot = "Root";

// "Storage Device " and the disk's number: with a blank, unlike the disk
// tree's nodes.
std::string PartitionsRootCaption(std::uint16_t diskIndex);

// The disk number of a disk node: the digits after the caption's first 14
// characters ("Storage Device"), up to the first other character; 0 when
// there are none.
std::uint16_t DiskIndexOfCaption(std::string_view caption);

}  // namespace salvex::wizard
