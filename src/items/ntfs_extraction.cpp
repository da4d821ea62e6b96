#include "items/ntfs_extraction.h"

#include <algorithm>
#include <array>
#include <vector>

#include "ntfs/attribute_list.h"
#include "ntfs/mft_record.h"
#include "ntfs/mft_run_list.h"
#include "ntfs/run_list.h"

namespace salvex {
namespace {

using Record = std::array<std::uint8_t, kMftRecordSize>;

// The last byte of a record whose contents the update sequence leaves intact.
constexpr std::size_t kLastResidentByte = 1022;

bool Interrupted(const RecoveryRunState& run) { return run.stopSaving || run.skipFile; }

int Percent(std::uint64_t written, std::uint64_t size) {
  return size == 0 ? 0 : static_cast<int>(std::min<std::uint64_t>(99, written * 100 / size));
}

void ShowStart(ExtractionContext& context, const ExtractionRequest& request, const ExtractionResult& result) {
  if (request.mode != ExtractMode::recover) return;
  context.saving.SetPath(request.destination->PathOf(result.name));
  context.saving.SetFileName(result.name);
  context.saving.SetTotalFiles(context.run.filesCreated);
  context.saving.SetProgress(0);
}

// Closes the file with its time stamp and settles the outcome.
void Finish(ExtractionContext& context, const ExtractionRequest& request, OutputFile& file, bool dataWritten,
            ExtractionResult& result) {
  file.SetTimes(NtfsTimeToUnix(request.fileTime));
  const bool closed = file.Close();
  if (request.mode == ExtractMode::recover) ++context.run.filesCreated;
  result.outcome = dataWritten && closed ? ExtractionOutcome::written : ExtractionOutcome::writeFailed;
  if (result.outcome == ExtractionOutcome::writeFailed) result.error = "the data could not be written (is the destination full?)";
}

// Writes the clusters of the run list, chunk by chunk, up to the file's size.
class RunCopy {
 public:
  RunCopy(ExtractionContext& context, const ExtractionRequest& request, OutputFile& file, ExtractionResult& result)
      : context_(context), request_(request), file_(file), result_(result),
        chunk_(ChunkSectors(context.volume.sectorsPerCluster)),
        buffer_(std::size_t{chunk_} * kSectorSize) {}

  // False when the host refused the data.
  bool Run(const std::vector<DataRun>& runs) {
    for (const DataRun& run : runs) {
      for (std::uint64_t i = 0; i < run.clusterCount; ++i) {
        if (Interrupted(context_.run) || Done()) return !failed_;
        if (request_.mode == ExtractMode::recover) {
          context_.saving.SetProgress(Percent(result_.bytesWritten, request_.size));
        }
        CopyCluster(run, i);
      }
    }
    return !failed_;
  }

  bool Done() const { return result_.bytesWritten >= request_.size; }

 private:
  void CopyCluster(const DataRun& run, std::uint64_t index) {
    const std::uint32_t perCluster = context_.volume.sectorsPerCluster;
    const std::uint64_t first = context_.volume.clusterBase + (run.firstCluster + index) * perCluster;
    for (std::uint32_t offset = 0; offset < perCluster; offset += chunk_) {
      if (Interrupted(context_.run) || Done()) return;
      const std::uint64_t remaining = request_.size - result_.bytesWritten;
      const auto needed =
          static_cast<std::uint32_t>(std::min<std::uint64_t>(chunk_, (remaining + kSectorSize - 1) / kSectorSize));
      const std::uint32_t sectors = std::min(needed, perCluster - offset);
      if (run.sparse) {
        std::fill(buffer_.begin(), buffer_.end(), std::uint8_t{0});
      } else {
        result_.unreadableSectors += context_.reader.ReadSectorsFillingGaps(first + offset, sectors, buffer_);
      }
      const std::uint64_t length = std::min<std::uint64_t>(std::uint64_t{sectors} * kSectorSize,
                                                           request_.size - result_.bytesWritten);
      if (!file_.Write(std::span(buffer_).first(static_cast<std::size_t>(length)))) failed_ = true;
      result_.bytesWritten += length;
    }
  }

  ExtractionContext& context_;
  const ExtractionRequest& request_;
  OutputFile& file_;
  ExtractionResult& result_;
  std::uint32_t chunk_;
  std::vector<std::uint8_t> buffer_;
  bool failed_ = false;
};

void ExtractResident(ExtractionContext& context, const ExtractionRequest& request, const Record& record,
                     const DataAttribute& data, ExtractionResult& result) {
  const std::size_t valueStart = data.offset + u16le(record, data.offset + 20);
  if (valueStart + request.size > kLastResidentByte + 1) {
    result.outcome = ExtractionOutcome::noData;
    result.error = "its data would reach past the end of its MFT record";
    return;
  }
  std::unique_ptr<OutputFile> file = CreateOutputFile(context, request, result);
  if (!file) return;
  ShowStart(context, request, result);
  const bool written = file->Write(std::span(record).subspan(valueStart, static_cast<std::size_t>(request.size)));
  result.bytesWritten = request.size;
  Finish(context, request, *file, written, result);
}

std::uint64_t ClustersIn(const std::vector<DataRun>& runs) {
  std::uint64_t clusters = 0;
  for (const DataRun& run : runs) clusters += run.clusterCount;
  return clusters;
}

// A file in many pieces has its data's run list spread over several records,
// each piece from a later cluster of the data on, which its base record's
// attribute list names. The pieces are gathered in that order; when they
// cannot be (the MFT cannot be found), the record's own runs stand.
std::vector<DataRun> GatherPieces(ExtractionContext& context, const Record& record, std::vector<DataRun> runs,
                                  std::uint64_t size) {
  const VolumeParameters& volume = context.volume;
  const std::uint64_t clusterBytes = std::uint64_t{volume.sectorsPerCluster} * kSectorSize;
  if (clusterBytes == 0 || ClustersIn(runs) * clusterBytes >= size) return runs;
  MftRunList mft;
  LoadMftRunList(context.reader, volume.clusterBase, volume.mftStart, volume.sectorsPerCluster, mft);
  const std::uint64_t baseNumber = u64le(record, 0x20) & 0x0000FFFFFFFFFFFF;
  Record base = record;
  if (baseNumber != 0) {
    const std::uint64_t sector = mft.RecordToSector(baseNumber);
    if (sector == 0) return runs;
    ReadMftRecord(context.reader, sector, base);
  }
  const auto list = FindAttribute(base, ntfs::kAttributeList);
  if (!list) return runs;
  std::vector<AttributeListEntry> pieces;
  for (const AttributeListEntry& entry : ParseAttributeList(
           ReadAttributeList(context.reader, base, *list, volume.clusterBase, volume.sectorsPerCluster))) {
    if (entry.type == ntfs::kData && entry.nameLength == 0) pieces.push_back(entry);
  }
  std::stable_sort(pieces.begin(), pieces.end(),
                   [](const AttributeListEntry& a, const AttributeListEntry& b) { return a.lowestVcn < b.lowestVcn; });
  std::vector<DataRun> gathered;
  for (const AttributeListEntry& piece : pieces) {
    const std::uint64_t sector = mft.RecordToSector(piece.record);
    if (sector == 0) return runs;
    Record holder{};
    ReadMftRecord(context.reader, sector, holder);
    const DataAttribute data = FindDataAttribute(holder);
    if (data.kind != DataKind::nonResident) return runs;
    const auto pieceRuns = DecodeDataRuns(holder, data.offset);
    if (!pieceRuns) return runs;
    gathered.insert(gathered.end(), pieceRuns->begin(), pieceRuns->end());
  }
  return ClustersIn(gathered) > ClustersIn(runs) ? gathered : runs;
}

void ExtractNonResident(ExtractionContext& context, const ExtractionRequest& request, const Record& record,
                        const DataAttribute& data, ExtractionResult& result) {
  std::optional<std::vector<DataRun>> runs = DecodeDataRuns(record, data.offset);
  if (runs) runs = GatherPieces(context, record, std::move(*runs), request.size);
  if (!runs || runs->empty()) {
    result.outcome = ExtractionOutcome::noData;
    result.error = "its run list is damaged";
    return;
  }
  context.run.skipFile = false;
  if (context.run.stopSaving) return;
  std::unique_ptr<OutputFile> file = CreateOutputFile(context, request, result);
  if (!file) return;
  ShowStart(context, request, result);
  RunCopy copy(context, request, *file, result);
  const bool written = copy.Run(*runs);
  result.cutShort = !copy.Done() && Interrupted(context.run);
  Finish(context, request, *file, written, result);
  if (result.outcome == ExtractionOutcome::written && !copy.Done() && !result.cutShort) {
    result.outcome = ExtractionOutcome::writeFailed;
    result.error = "its run list ends after " + std::to_string(result.bytesWritten) + " of " +
                   std::to_string(request.size) + " bytes";
  }
}

}  // namespace

std::time_t NtfsTimeToUnix(std::uint64_t ntfsTime) {
  constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;
  return static_cast<std::time_t>(static_cast<std::int64_t>(ntfsTime / 10'000'000) - kSecondsFrom1601To1970);
}

ExtractionResult ExtractNtfsFile(ExtractionContext& context, const ExtractionRequest& request) {
  ExtractionResult result;
  result.name = SafeHostName(request.name);
  if (request.size == 0) {
    result.outcome = ExtractionOutcome::empty;
    return result;
  }
  Record record{};
  ReadMftRecord(context.reader, request.recordSector, record);
  const DataAttribute data = FindDataAttribute(record);
  if (data.kind == DataKind::none) {
    result.outcome = ExtractionOutcome::noData;
    result.error = "its MFT record holds no data attribute";
    return result;
  }
  if (data.compressed || data.encrypted) {
    result.outcome = ExtractionOutcome::notRecoverable;
    result.error = data.encrypted ? "encrypted by NTFS" : "compressed by NTFS";
    return result;
  }
  if (context.run.stopSaving) return result;
  if (data.kind == DataKind::resident) {
    ExtractResident(context, request, record, data, result);
  } else {
    ExtractNonResident(context, request, record, data, result);
  }
  return result;
}

}  // namespace salvex
