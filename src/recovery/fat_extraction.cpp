#include "recovery/fat_extraction.h"

#include <algorithm>
#include <ctime>
#include <unordered_set>
#include <vector>

#include "recovery/file_stamp.h"

namespace salvex {
namespace {

// Copies the file's clusters, each stretch of consecutive ones in as few
// reads as the copier needs.
void CopyClusters(ExtractionContext& context, const ExtractionRequest& request, const ClusterChain& chain,
                  DataCopier& copier) {
  const VolumeParameters& volume = context.volume;
  const std::uint64_t clusterBytes = std::uint64_t{volume.sectorsPerCluster} * kSectorSize;
  const std::uint64_t maxStretch = std::max<std::uint64_t>(1, DataCopier::kMaxReadSectors / volume.sectorsPerCluster);
  // Without a chain the file is taken as consecutive clusters.
  const auto clusterAt = [&](std::uint64_t index) {
    return index < chain.size() ? chain[index] : static_cast<std::uint32_t>(request.firstCluster + index);
  };
  const std::uint64_t clusters = (request.size + clusterBytes - 1) / clusterBytes;
  for (std::uint64_t index = 0; index < clusters && !copier.Done() && !copier.Interrupted();) {
    const std::uint32_t first = clusterAt(index);
    std::uint64_t count = 1;
    while (count < maxStretch && index + count < clusters && clusterAt(index + count) == first + count) ++count;
    copier.CopySectors(volume.ClusterToSector(first), count * volume.sectorsPerCluster);
    index += count;
  }
}

bool RepeatsACluster(const ClusterChain& chain) {
  std::unordered_set<std::uint32_t> seen;
  seen.reserve(chain.size());
  for (const std::uint32_t cluster : chain) {
    if (!seen.insert(cluster).second) return true;
  }
  return false;
}

}  // namespace

ClusterChain ChooseFileChain(SectorReader& reader, const VolumeParameters& volume, std::uint32_t firstCluster,
                             std::uint64_t size, const ChainCancel& cancel) {
  const std::uint64_t clusterBytes = std::uint64_t{volume.sectorsPerCluster} * kSectorSize;
  if (clusterBytes == 0) return {};
  const std::uint64_t expected = (size + clusterBytes - 1) / clusterBytes;
  const auto maxLinks = static_cast<std::uint32_t>(std::min<std::uint64_t>(expected, UINT32_MAX - 1));
  ClusterChain chain;
  for (const int fatCopy : {1, 2}) {
    BuildFileChain(reader, volume, firstCluster, maxLinks, fatCopy, cancel, chain);
    // A chain that comes back to a cluster would copy its data twice.
    if (chain.size() == expected && !RepeatsACluster(chain)) return chain;
  }
  return {};
}

ExtractionResult ExtractFatFile(ExtractionContext& context, const ExtractionRequest& request) {
  ExtractionResult result;
  result.name = request.name;
  RecoveryRunState& run = context.run;
  if (run.stopSaving) return result;
  run.skipFile = false;
  // A snapshot can say so: without a cluster size no byte of the file can
  // be found, and an empty file must not pass for it.
  if (context.volume.sectorsPerCluster == 0 && request.size > 0) {
    result.outcome = ExtractionOutcome::notRecoverable;
    result.error = "the volume's cluster size is unknown (0 sectors per cluster)";
    return result;
  }
  if (request.noClusterFits) {
    result.outcome = ExtractionOutcome::notRecoverable;
    result.error = "the high word of its first cluster was cleared, and no free clusters fit it";
    return result;
  }

  std::unique_ptr<OutputFile> file = CreateOutputFile(context, request, result);
  if (!file) return result;
  if (request.mode == ExtractMode::recover) {
    ++run.filesCreated;
    context.saving.SetPath(request.destination->Path());
    context.saving.SetFileName(result.name);
    context.saving.SetTotalFiles(run.filesCreated - 1);
    context.saving.SetProgress(0);
  }

  DataCopier copier(context, request, *file, result);
  if (request.size > 0) {
    const ChainCancel cancel{&run.stopSaving, &run.skipFile};
    const ClusterChain chain = ChooseFileChain(context.reader, context.volume, request.firstCluster, request.size, cancel);
    CopyClusters(context, request, chain, copier);
  }
  result.cutShort = !copier.Done() && copier.Interrupted() && !copier.WriteFailed();
  const auto writeDate = static_cast<std::uint16_t>(request.fileTime);
  // The times are a courtesy: a file system that refuses them keeps the data.
  if (const auto stamp = FatFileStamp(writeDate, std::time(nullptr))) file->SetTimes(*stamp);
  CloseOutputFile(request, *file, "", result);
  return result;
}

}  // namespace salvex
