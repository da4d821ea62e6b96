#pragma once

#include "fat/cluster_chain.h"
#include "recovery/extraction.h"

namespace salvex {

// Copies one FAT file out of the volume: along its chain in FAT #1, else in
// FAT #2, else (as a deleted file's chain is cleared) from consecutive
// clusters. In recover mode the admission rules apply first and the saving
// dialog follows the copy. Stop Saving and Skip File end the copy at the next
// chunk; the part written stays. Sectors that cannot be read are written as
// zeros and counted. The file gets the day of its write date.
ExtractionResult ExtractFatFile(ExtractionContext& context, const ExtractionRequest& request);

// The clusters to read for a file of `size` bytes from `firstCluster`: its
// chain when FAT #1 or FAT #2 holds one of exactly the expected length,
// otherwise an empty chain, which means consecutive clusters.
ClusterChain ChooseFileChain(SectorReader& reader, const VolumeParameters& volume, std::uint32_t firstCluster,
                             std::uint64_t size, const ChainCancel& cancel);

}  // namespace salvex
