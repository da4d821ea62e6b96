#pragma once

#include <cstdint>
#include <optional>

#include "common/le_bytes.h"

namespace salvex {

// The allocation bitmap and up-case table a root directory's first sector
// names: where they begin and how long they are. The up-case table's
// checksum lets a guessed cluster heap be checked against the bytes that
// lie where it puts the table.
struct ExfatRootTables {
  std::uint32_t bitmapCluster = 0;
  std::uint64_t bitmapBytes = 0;
  std::uint32_t upcaseCluster = 0;
  std::uint64_t upcaseBytes = 0;
  std::uint32_t upcaseChecksum = 0;
};

// The root's table entries in its first sector, or nothing when either is
// missing or names no cluster.
std::optional<ExfatRootTables> ReadExfatRootTables(Bytes sector);

// The up-case table's checksum: a rotate-right-and-add over its bytes.
std::uint32_t ExfatTableChecksum(Bytes table);

}  // namespace salvex
