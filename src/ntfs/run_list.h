#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "common/le_bytes.h"

namespace salvex {

// One run of a non-resident attribute's run list, as stored: a cluster count
// and an offset field of `offsetWidth` bytes (0 for a sparse run, a hole).
struct EncodedRun {
  std::uint64_t clusterCount = 0;
  unsigned offsetWidth = 0;
  std::uint64_t rawOffset = 0;  // the offset field as an unsigned number

  bool IsSparse() const { return offsetWidth == 0; }
  // The offset field as a two's-complement number.
  std::int64_t SignedOffset() const;
};

// Reads the run list that starts at `position` of `record`: header bytes with
// the widths of the count and the offset, then the two fields. Ends at a 0
// header, at a field wider than 8 bytes, or at a run whose bytes would pass
// the end of the record.
std::vector<EncodedRun> ReadRunList(Bytes record, std::size_t position);

// A stretch of a file's data on the volume, in clusters.
struct DataRun {
  std::uint64_t firstCluster = 0;
  std::uint64_t clusterCount = 0;
  bool sparse = false;  // a hole: the data reads as zeros
};

// The runs of the non-resident attribute at `attributeOffset` of a 1024-byte
// record: the first run's offset is a cluster number, every later one a signed
// step from the last run that had one (a sparse run has none). Nothing when
// the run list would start outside the record.
std::optional<std::vector<DataRun>> DecodeDataRuns(Bytes record, std::size_t attributeOffset);

}  // namespace salvex
