#pragma once

#include <cstdint>
#include <string>

namespace salvex::wizard {

// The roots of the trees.
inline constexpr const char* kMyComputer = "My Computer";
inline constexpr const char* kFoundRoot = "File Systems";
inline constexpr const char* kItemsRoot = "Root";

// "Storage Device " and the disk's number: with a blank, unlike the disk
// tree's nodes.
std::string PartitionsRootCaption(std::uint32_t diskNumber);

}  // namespace salvex::wizard
