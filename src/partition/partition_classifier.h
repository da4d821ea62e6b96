#pragma once

#include <cstdint>

#include "common/le_bytes.h"
#include "common/sector.h"

namespace salvex {

enum class TableKind { primary, extended };

// Decides what a partition-table entry describes from its boot sector and its
// type byte. A file-system text in the boot sector ("FAT32" at 82, "FAT16" at
// 54, "NTFS" at 3) wins over the type byte; FsType::none means "not recorded".
FsType ClassifyPartition(Bytes bootSector, std::uint8_t typeByte, TableKind table);

constexpr bool IsExtendedType(std::uint8_t typeByte) { return typeByte == 0x05 || typeByte == 0x0F; }

}  // namespace salvex
