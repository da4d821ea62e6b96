#pragma once

#include <cstdint>
#include <vector>

#include "disk/sector_reader.h"
#include "volume/volume_parameters.h"

namespace salvex {

// Where the MFT's own data lies on the disk, run by run, in sectors. Record
// n is the n-th two-sector slot of that data.
class MftRunList {
 public:
  struct Run {
    std::uint64_t startSector = 0;  // absolute; 0 for a sparse run
    std::uint64_t lengthSectors = 0;
    bool sparse = false;
  };

  void Clear();
  void Append(const Run& run);

  const std::vector<Run>& Runs() const { return runs_; }
  std::uint64_t TotalSectors() const { return runEnds_.empty() ? 0 : runEnds_.back(); }

  // The sector of record n's first half; 0 when the record lies beyond the
  // runs or in a sparse one.
  std::uint64_t RecordToSector(std::uint64_t recordNumber) const;

 private:
  std::vector<Run> runs_;
  std::vector<std::uint64_t> runEnds_;  // cumulative lengths, for a binary search
};

// Loads the run list of the MFT from the data attribute of record 0 (and, for
// a fragmented MFT, from the extension records its attribute list names).
// Empty when record 5 (the root folder) is not a file record.
void LoadMftRunList(SectorReader& reader, std::uint64_t volumeStart, std::uint64_t mftStart,
                    std::uint32_t sectorsPerCluster, MftRunList& runList);

// The same for a volume's parameters: from the MFT when its first record was
// found, else from the copy of record 0 that $MFTMirr keeps (the mirror holds
// no root record to check).
void LoadMftRunListOf(SectorReader& reader, const VolumeParameters& volume, MftRunList& runList);

// Reads a record's two sectors (zeros where unreadable) and repairs them.
void ReadMftRecord(SectorReader& reader, std::uint64_t sector, std::span<std::uint8_t> record);

}  // namespace salvex
