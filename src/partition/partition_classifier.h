#pragma once

#include <cstdint>

#include "common/le_bytes.h"
#include "common/sector.h"

namespace salvex {

enum class TableKind { primary, extended };

// Decides what a partition-table entry describes from its boot sector and its
// type byte. A file-system text in the boot sector ("FAT32" at 82, "FAT16" or
// "FAT12" at 54, "NTFS" at 3) wins over the type byte; between FAT12 and
// FAT16 the boot sector's count of clusters decides, where its fields give
// one. FsType::none means "not recorded".
FsType ClassifyPartition(Bytes bootSector, std::uint8_t typeByte, TableKind table);

// A boot sector whose text names FAT12 or FAT16 (or a partition of a FAT12
// or FAT16 type) is one or the other by its count of clusters, whatever the
// text says; `named` stands when the fields give no count.
FsType SmallFatType(Bytes bootSector, FsType named);

constexpr bool IsExtendedType(std::uint8_t typeByte) { return typeByte == 0x05 || typeByte == 0x0F; }

}  // namespace salvex
