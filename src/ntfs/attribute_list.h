#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "common/le_bytes.h"
#include "disk/sector_reader.h"

namespace salvex {

// One entry of an attribute list: which record holds which attribute, and
// for a non-resident one, from which cluster of its data on.
struct AttributeListEntry {
  std::uint32_t type = 0;
  std::uint8_t nameLength = 0;
  std::uint64_t lowestVcn = 0;
  std::uint32_t record = 0;
};

// The offset of a record's first attribute of `type`, or nothing.
std::optional<std::size_t> FindAttribute(Bytes record, std::uint32_t type);

// The bytes of the attribute list at `listOffset` of a record: in place when
// resident, else read through its own run list (clusters counted from
// `volumeStart`), at most 256 KiB.
std::vector<std::uint8_t> ReadAttributeList(SectorReader& reader, Bytes record, std::size_t listOffset,
                                            std::uint64_t volumeStart, std::uint32_t sectorsPerCluster);

// The entries of an attribute list, up to the first that ends it.
std::vector<AttributeListEntry> ParseAttributeList(Bytes list);

}  // namespace salvex
