#pragma once

#include <string>

#include "fat/cluster_chain.h"
#include "items/items.h"
#include "recovery/extraction.h"

namespace salvex {

// Copies one FAT file out of the volume: along its chain in FAT #1, else in
// FAT #2, else (as a deleted file's chain is cleared) from consecutive
// clusters, never past the volume's last cluster. In recover mode the
// admission rules apply first and the saving dialog follows the copy. Stop
// Saving and Skip File end the copy at the next chunk; the part written
// stays. Sectors that cannot be read are written as zeros and counted. The
// file gets its write date and time.
ExtractionResult ExtractFatFile(ExtractionContext& context, const ExtractionRequest& request);

// The last cluster a file's bytes may be read from: what a FAT's entries
// address (its partition may be cut short), or the end of exFAT's cluster
// heap, past which a chain link leads out of the volume.
std::uint32_t LastFileCluster(const VolumeParameters& volume, SectorNumber lastSector);

// What ExtractFatFile needs of a file of the store; the caller adds where
// it goes, and how.
ExtractionRequest FatExtractionRequest(const FatFileItem& file);

// The clusters to read for a file of `size` bytes from `firstCluster`; FAT
// sectors come from `cache` when one is given.
struct FileChainChoice {
  // Its chain when FAT #1 or FAT #2 holds one of exactly the expected
  // length, otherwise empty, which means consecutive clusters.
  ClusterChain chain;
  // Why a live file's FAT chain could not be taken: its bytes are then a
  // guess. A deleted file's chain is expected to be gone, and one the FAT
  // does not hold at all (its first cluster free) is no damaged chain.
  std::string damage;
};
FileChainChoice ChooseFileChain(SectorReader& reader, const VolumeParameters& volume, std::uint32_t lastCluster,
                                std::uint32_t firstCluster, std::uint64_t size, bool deleted,
                                const ChainCancel& cancel, FatSectorCache* cache = nullptr);

}  // namespace salvex
