#include "items/fat_extraction.h"

#include <algorithm>
#include <ctime>
#include <unordered_set>
#include <vector>

#include "items/file_stamp.h"

namespace salvex {
namespace {

bool Interrupted(const RecoveryRunState& run) { return run.stopSaving || run.skipFile; }

int Percent(std::uint64_t written, std::uint64_t size) {
  if (size == 0) return 0;
  return static_cast<int>(std::min<std::uint64_t>(99, written * 100 / size));
}

// Copies the file's clusters into `file`, chunk by chunk.
class FatCopy {
 public:
  FatCopy(ExtractionContext& context, const ExtractionRequest& request, OutputFile& file, ExtractionResult& result)
      : context_(context), request_(request), file_(file), result_(result) {}

  void Run() {
    const VolumeParameters& volume = context_.volume;
    const ChainCancel cancel{&context_.run.stopSaving, &context_.run.skipFile};
    const ClusterChain chain = ChooseFileChain(context_.reader, volume, request_.firstCluster, request_.size, cancel);
    const std::uint32_t chunk = ChunkSectors(volume.sectorsPerCluster);
    buffer_.resize(std::size_t{chunk} * kSectorSize);
    std::uint32_t cluster = request_.firstCluster;
    std::size_t chainIndex = 0;
    while (true) {
      ShowProgress();
      if (Interrupted(context_.run) || Done()) break;
      CopyCluster(cluster, chunk);
      if (Interrupted(context_.run) || Done()) break;
      cluster = ++chainIndex < chain.size() ? chain[chainIndex] : cluster + 1;
    }
    result_.cutShort = !Done();
  }

  bool WriteFailed() const { return writeFailed_; }

 private:
  bool Done() const { return result_.bytesWritten >= request_.size; }

  void ShowProgress() {
    if (request_.mode == ExtractMode::recover) context_.saving.SetProgress(Percent(result_.bytesWritten, request_.size));
  }

  void CopyCluster(std::uint32_t cluster, std::uint32_t chunk) {
    const VolumeParameters& volume = context_.volume;
    const std::uint32_t first = volume.ClusterToSector(cluster);
    for (std::uint32_t offset = 0; offset < volume.sectorsPerCluster; offset += chunk) {
      if (Interrupted(context_.run) || Done()) return;
      // A read never reaches into the next cluster, whatever the cluster
      // size, nor past the file's end: a bad sector beyond it is not the file's.
      const std::uint64_t remaining = request_.size - result_.bytesWritten;
      const auto needed = static_cast<std::uint32_t>(std::min<std::uint64_t>(chunk, (remaining + kSectorSize - 1) / kSectorSize));
      const std::uint32_t sectors = std::min(needed, volume.sectorsPerCluster - offset);
      result_.unreadableSectors += context_.reader.ReadSectorsFillingGaps(first + offset, sectors, buffer_);
      const std::uint64_t length = std::min<std::uint64_t>(std::uint64_t{sectors} * kSectorSize,
                                                           request_.size - result_.bytesWritten);
      if (!file_.Write(std::span(buffer_).first(static_cast<std::size_t>(length)))) writeFailed_ = true;
      result_.bytesWritten += length;
    }
  }

  ExtractionContext& context_;
  const ExtractionRequest& request_;
  OutputFile& file_;
  ExtractionResult& result_;
  std::vector<std::uint8_t> buffer_;
  bool writeFailed_ = false;
};

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

  std::unique_ptr<OutputFile> file = CreateOutputFile(context, request, result);
  if (!file) return result;
  if (request.mode == ExtractMode::recover) {
    ++run.filesCreated;
    context.saving.SetPath(request.destination->Path());
    context.saving.SetFileName(result.name);
    context.saving.SetTotalFiles(run.filesCreated - 1);
    context.saving.SetProgress(0);
  }

  FatCopy copy(context, request, *file, result);
  if (context.volume.sectorsPerCluster != 0) copy.Run();
  bool ok = !copy.WriteFailed();
  const auto writeDate = static_cast<std::uint16_t>(request.fileTime);
  // The times are a courtesy: a file system that refuses them keeps the data.
  if (const auto stamp = FatFileStamp(writeDate, std::time(nullptr))) file->SetTimes(*stamp);
  ok = file->Close() && ok;
  result.outcome = ok ? ExtractionOutcome::written : ExtractionOutcome::writeFailed;
  if (!ok) result.error = "the data could not be written (is the destination full?)";
  return result;
}

}  // namespace salvex
