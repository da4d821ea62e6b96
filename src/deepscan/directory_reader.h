#pragma once

#include <cstdint>
#include <vector>

#include "fat/cluster_chain.h"
#include "fat/directory_decoder.h"
#include "volume/volume_context.h"

namespace salvex {

// How far a directory read got.
struct DirectoryRead {
  bool abandoned = false;         // its first piece did not begin with "." and ".."
  bool endSeen = false;           // the end mark was met
  std::size_t clustersRead = 0;   // clusters of the chain decoded, the last one included
};

// Reads one directory of a found file system in pieces of up to 8 sectors
// and decodes them; the two sectors before each piece stay in front of it, so
// long names that cross a piece boundary are read whole. A sector that cannot
// be read is recorded in the store and skipped.
class DirectoryReader {
 public:
  DirectoryReader(VolumeContext& context, DirectoryDecodeContext& decode) : context_(context), decode_(decode) {}

  // `checkDots` abandons a directory whose first piece does not begin with
  // "." and ".."; its entries are then decoded from the third.
  // `goesOnFromBefore`: the chain continues the directory whose last sectors
  // lie just before it, so a long name may begin there.
  DirectoryRead ReadClusters(const ClusterChain& chain, std::uint32_t parent, bool deleted, bool checkDots,
                             bool goesOnFromBefore = false);
  void ReadSectors(SectorNumber start, std::uint32_t count, std::uint32_t parent);

 private:
  // True when the directory ends here (or is abandoned).
  bool Read(SectorNumber sector, std::uint32_t count, std::uint32_t parent, bool deleted, bool first,
            bool checkDots, bool& abandoned, bool goesOnFromBefore = false);

  VolumeContext& context_;
  DirectoryDecodeContext& decode_;
  std::vector<std::uint8_t> window_;
  std::vector<std::uint32_t> unreadable_;  // of the piece just read
};

}  // namespace salvex
