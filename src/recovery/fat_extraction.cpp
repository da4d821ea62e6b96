#include "recovery/fat_extraction.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>
#include <vector>

#include "exfat/exfat_walk.h"
#include "fat/fat_walk.h"
#include "recovery/file_stamp.h"

namespace salvex {
namespace {

// Copies the file's clusters, each stretch of consecutive ones in as few
// reads as the copier needs. Returns false when the file's clusters would
// run past `lastCluster` (0: unknown), which no cluster of the volume does.
bool CopyClusters(ExtractionContext& context, const ExtractionRequest& request, const ClusterChain& chain,
                  std::uint32_t lastCluster, DataCopier& copier) {
  const VolumeParameters& volume = context.volume;
  const std::uint64_t clusterBytes = std::uint64_t{volume.sectorsPerCluster} * kSectorSize;
  const std::uint64_t maxStretch = std::max<std::uint64_t>(1, DataCopier::kMaxReadSectors / volume.sectorsPerCluster);
  // Without a chain the file is taken as consecutive clusters.
  const auto clusterAt = [&](std::uint64_t index) {
    return index < chain.size() ? std::uint64_t{chain[index]} : request.firstCluster + index;
  };
  const std::uint64_t limit = lastCluster != 0 ? lastCluster : UINT32_MAX;
  const std::uint64_t clusters = (request.size + clusterBytes - 1) / clusterBytes;
  for (std::uint64_t index = 0; index < clusters && !copier.Done() && !copier.Interrupted();) {
    if (!chain.empty() && index >= chain.size()) {
      // Clusters worked out only as far as the volume's end: the rest is
      // not on it, and comes back as zeros.
      copier.CopySectors(0, (clusters - index) * volume.sectorsPerCluster, true);
      break;
    }
    const std::uint64_t first = clusterAt(index);
    if (first > limit) return false;
    std::uint64_t count = 1;
    while (count < maxStretch && index + count < clusters && (chain.empty() || index + count < chain.size()) &&
           clusterAt(index + count) == first + count &&
           first + count <= limit) {
      ++count;
    }
    copier.CopySectors(volume.ClusterToSector(static_cast<std::uint32_t>(first)), count * volume.sectorsPerCluster);
    index += count;
  }
  return true;
}

std::optional<std::uint32_t> RepeatedCluster(const ClusterChain& chain) {
  std::unordered_set<std::uint32_t> seen;
  seen.reserve(chain.size());
  for (const std::uint32_t cluster : chain) {
    if (!seen.insert(cluster).second) return cluster;
  }
  return std::nullopt;
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

// What is wrong with a chain that was not taken, in words.
std::string ChainDamage(const ClusterChain& chain, const ClusterChainBuild& build, std::uint64_t expected) {
  const std::string after = "after cluster " + std::to_string(chain.back());
  switch (build.end) {
    case ChainEnd::broken:
      return "its cluster chain leaves the volume " + after + " (the FAT holds " + Hex(build.brokenLink) + ")";
    case ChainEnd::unreadable: return "the FAT sector that continues its cluster chain " + after + " cannot be read";
    case ChainEnd::maxLinks: break;
    case ChainEnd::endOfChain:
    case ChainEnd::free:
    case ChainEnd::loops:
    case ChainEnd::refused:
    case ChainEnd::cancelled:
    case ChainEnd::noTable:
      if (chain.size() < expected) {
        return "its cluster chain ends " + after + ", " + std::to_string(chain.size()) + " of the " +
               std::to_string(expected) + " clusters its size needs";
      }
      break;
  }
  if (const auto repeated = RepeatedCluster(chain)) {
    return "its cluster chain comes back to cluster " + std::to_string(*repeated);
  }
  return "its cluster chain is longer than the " + std::to_string(expected) + " clusters its size needs";
}

}  // namespace

FileChainChoice ChooseFileChain(SectorReader& reader, const VolumeParameters& volume, std::uint32_t lastCluster,
                                std::uint32_t firstCluster, std::uint64_t size, bool deleted,
                                const ChainCancel& cancel, FatSectorCache* cache) {
  const std::uint64_t clusterBytes = std::uint64_t{volume.sectorsPerCluster} * kSectorSize;
  if (clusterBytes == 0) return {};
  const std::uint64_t expected = (size + clusterBytes - 1) / clusterBytes;
  const auto maxLinks = static_cast<std::uint32_t>(std::min<std::uint64_t>(expected, UINT32_MAX - 1));
  FileChainChoice choice;
  for (const int fatCopy : {1, 2}) {
    const ClusterChainBuild build =
        BuildFileChain(reader, volume, lastCluster, firstCluster, maxLinks, fatCopy, cancel, choice.chain, cache);
    if (build.end == ChainEnd::cancelled) return {};
    // A chain that comes back to a cluster would copy its data twice.
    if (choice.chain.size() == expected && !RepeatedCluster(choice.chain)) {
      choice.damage.clear();
      return choice;
    }
    // A first cluster the FAT calls free holds no chain to be damaged (a
    // reformatted volume's files, say), nor does a FAT that was not found:
    // the clusters are read as a deleted file's are.
    const bool noChain =
        build.end == ChainEnd::noTable || (choice.chain.size() == 1 && build.end == ChainEnd::free);
    if (fatCopy == 1 && !deleted && !noChain) {
      choice.damage = ChainDamage(choice.chain, build, expected) + "; its bytes were read from consecutive clusters";
    }
  }
  choice.chain.clear();
  return choice;
}

std::uint32_t LastFileCluster(const VolumeParameters& volume, SectorNumber lastSector) {
  if (volume.fsType != FsType::exfat) return FatEntryLimits(volume, lastSector).lastCluster;
  return volume.sectorsPerFat != 0 ? ExfatLastCluster(volume, lastSector) : ExfatHeapLastCluster(volume, lastSector);
}

ExtractionRequest FatExtractionRequest(const FatFileItem& file) {
  ExtractionRequest request;
  request.name = file.name;
  request.size = file.size;
  request.validSize = file.validSize;
  request.firstCluster = file.firstCluster;
  request.deleted = file.deleted;
  request.overwritten = file.overwritten;
  request.noClusterFits = file.noClusterFits;
  request.clusterRuns = file.clusterRuns;
  if (file.carved) request.diskExtents = file.carved->extents;
  request.id = file.id;
  request.fileTime = PackFatFileTime(file.writeDate, file.writeTime);
  return request;
}

ExtractionResult ExtractFatFile(ExtractionContext& context, const ExtractionRequest& request) {
  ExtractionResult result;
  result.name = request.name;
  RecoveryRunState& run = context.run;
  if (run.stopSaving) return result;
  if (!context.concurrentWriter) run.skipFile = false;
  // A file found by its content is read from its extents, whatever the
  // volume (if there is one) says.
  const bool found = !request.diskExtents.empty();
  // A snapshot can say so: without a cluster size no byte of the file can
  // be found, and an empty file must not pass for it.
  if (!found && context.volume.sectorsPerCluster == 0 && request.size > 0) {
    result.outcome = ExtractionOutcome::notRecoverable;
    result.error = "the volume's cluster size is unknown (0 sectors per cluster)";
    return result;
  }
  if (!found && request.firstCluster < 2 && request.size > 0) {
    result.outcome = ExtractionOutcome::notRecoverable;
    result.error = "its directory entry names no first cluster";
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
  std::string failure;
  if (found) {
    for (const DiskExtent& extent : request.diskExtents) copier.CopyBytes(extent);
    if (!copier.Done() && !copier.Interrupted() && !copier.WriteFailed()) {
      failure = "the stretches of the disk it was found in hold fewer bytes than its size";
    }
  } else if (request.size > 0) {
    const std::uint32_t lastCluster = LastFileCluster(context.volume, context.lastSector);
    // Among several writers the skip flag is taken by the copy, never by
    // the chain build, which the FAT cache makes short.
    const ChainCancel cancel{&run.stopSaving, context.concurrentWriter ? nullptr : &run.skipFile};
    FileChainChoice choice;
    if (request.clusterRuns.empty()) {
      FatSectorCache* cache = context.fatCache;
      if (!cache) {
        if (!run.fatCache) run.fatCache = std::make_unique<FatSectorCache>(context.reader);
        cache = run.fatCache.get();
      }
      choice = ChooseFileChain(context.reader, context.volume, lastCluster, request.firstCluster, request.size,
                               request.deleted, cancel, cache);
    } else {
      choice.chain = ChainOfRuns(request.clusterRuns);
    }
    result.chainDamage = choice.damage;
    if (!CopyClusters(context, request, choice.chain, lastCluster, copier)) {
      failure = "its clusters run past the end of the volume (cluster " + std::to_string(lastCluster) + ")";
    }
  }
  result.cutShort = !copier.Done() && copier.Interrupted() && !copier.WriteFailed();
  // The times are a courtesy: a file system that refuses them keeps the data.
  if (const auto stamp = FatFileStamp(request.fileTime)) file->SetTimes(*stamp);
  CloseOutputFile(request, *file, failure, result);
  return result;
}

}  // namespace salvex
