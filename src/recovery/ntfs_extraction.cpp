#include "recovery/ntfs_extraction.h"

#include <algorithm>
#include <array>
#include <vector>

#include "ntfs/attribute_list.h"
#include "ntfs/mft_record.h"
#include "ntfs/mft_run_list.h"
#include "ntfs/run_list.h"
#include "ntfs/volume_extent.h"

namespace salvex {
namespace {

using Record = std::array<std::uint8_t, kMftRecordSize>;

// The last byte of a record whose contents the update sequence leaves intact.
constexpr std::size_t kLastResidentByte = 1022;

void ShowStart(ExtractionContext& context, const ExtractionRequest& request, const ExtractionResult& result) {
  if (request.mode != ExtractMode::recover) return;
  context.saving.SetPath(request.destination->PathOf(result.name));
  context.saving.SetFileName(result.name);
  context.saving.SetTotalFiles(context.run.filesCreated);
  context.saving.SetProgress(0);
}

// Closes the file with its time stamp and settles the outcome; `failure`
// says why the data is not whole when the host took every byte.
void Finish(ExtractionContext& context, const ExtractionRequest& request, OutputFile& file, std::string failure,
            ExtractionResult& result) {
  file.SetTimes(NtfsTimeToUnix(request.fileTime));
  if (request.mode == ExtractMode::recover) ++context.run.filesCreated;
  CloseOutputFile(request, file, std::move(failure), result);
}

void ExtractResident(ExtractionContext& context, const ExtractionRequest& request, const Record& record,
                     const DataAttribute& data, ExtractionResult& result) {
  const std::size_t valueStart = data.offset + u16le(record, data.offset + 20);
  // Compared without a sum: a size from a damaged snapshot can be near 2^64.
  if (valueStart > kLastResidentByte + 1 || request.size > kLastResidentByte + 1 - valueStart) {
    result.outcome = ExtractionOutcome::noData;
    result.error = "its data would reach past the end of its MFT record";
    return;
  }
  std::unique_ptr<OutputFile> file = CreateOutputFile(context, request, result);
  if (!file) return;
  ShowStart(context, request, result);
  file->Write(std::span(record).subspan(valueStart, static_cast<std::size_t>(request.size)));
  Finish(context, request, *file, "", result);
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
  LoadMftRunListOf(context.reader, volume, mft);
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
  // The pieces an attribute list names are the unnamed data's.
  if (runs && request.stream.empty()) runs = GatherPieces(context, record, std::move(*runs), request.size);
  if (!runs || runs->empty()) {
    result.outcome = ExtractionOutcome::noData;
    result.error = "its run list is damaged";
    return;
  }
  if (!context.concurrentWriter) context.run.skipFile = false;
  if (context.run.stopSaving) return;
  std::unique_ptr<OutputFile> file = CreateOutputFile(context, request, result);
  if (!file) return;
  ShowStart(context, request, result);
  DataCopier copier(context, request, *file, result);
  const VolumeParameters& volume = context.volume;
  const std::uint64_t volumeClusters = NtfsVolumeClusters(volume, context.lastSector);
  bool leavesVolume = false;
  for (const DataRun& run : *runs) {
    if (copier.Done() || copier.Interrupted()) break;
    std::uint64_t clusters = run.clusterCount;
    // Nothing past the volume's end is the file's: a damaged run list may
    // name clusters of the next partition, or 2^47 of them.
    if (!run.sparse && volumeClusters != 0 &&
        (run.firstCluster >= volumeClusters || clusters > volumeClusters - run.firstCluster)) {
      clusters = run.firstCluster >= volumeClusters ? 0 : volumeClusters - run.firstCluster;
      leavesVolume = true;
    }
    copier.CopySectors(volume.clusterBase + run.firstCluster * volume.sectorsPerCluster,
                       clusters * volume.sectorsPerCluster, run.sparse);
    if (leavesVolume) break;
  }
  result.cutShort = !copier.Done() && copier.Interrupted() && !copier.WriteFailed();
  const bool dataShort = !copier.Done() && !copier.Interrupted() && !copier.WriteFailed();
  std::string failure;
  if (dataShort) {
    failure = (leavesVolume ? "its data runs leave the volume after " : "its run list ends after ") +
              std::to_string(copier.Copied()) + " of " + std::to_string(request.size) + " bytes";
  }
  Finish(context, request, *file, std::move(failure), result);
}

}  // namespace

std::time_t NtfsTimeToUnix(std::uint64_t ntfsTime) {
  constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;
  return static_cast<std::time_t>(static_cast<std::int64_t>(ntfsTime / 10'000'000) - kSecondsFrom1601To1970);
}

ExtractionRequest NtfsExtractionRequest(const NtfsFileItem& file) {
  ExtractionRequest request;
  request.name = file.name;
  request.size = file.size;
  request.recordSector = file.recordSector;
  request.stream = file.stream;
  request.deleted = file.deleted;
  request.fileTime = file.changed;
  return request;
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
  const DataAttribute data = FindDataAttribute(record, request.stream);
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
