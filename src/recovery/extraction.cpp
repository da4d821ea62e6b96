#include "recovery/extraction.h"

#include <algorithm>

#include "common/visible_text.h"

namespace salvex {

std::string CreationErrorQuestion(const std::string& path) {
  return "Error creating file : " + path + ".  Continue Recovery ? ";
}

namespace {

std::optional<ExtractionOutcome> OutcomeOfRefusal(Admission verdict) {
  switch (verdict) {
    case Admission::admitted: return std::nullopt;
    case Admission::refusedByFilter: return ExtractionOutcome::refusedByFilter;
    case Admission::refusedByDeletedMode: return ExtractionOutcome::refusedByDeletedMode;
    case Admission::skippedDuplicate: return ExtractionOutcome::skippedDuplicate;
    case Admission::noFreeName: return ExtractionOutcome::creationFailed;
  }
  return std::nullopt;
}

// A recovered file's name when the one it has is taken at the destination:
// the admission's rename, overwrite or skip. False when it is not created.
bool AdmitTakenName(ExtractionContext& context, const ExtractionRequest& request, ExtractionResult& result) {
  const HostFolder& destination = *request.destination;
  const bool overwriting = context.settings.duplicateMode == DuplicateMode::overwriteDuplicate;
  const AdmissionResult admission = AdmitForRecovery(
      result.name, request.deleted, context.settings, context.passesFilters,
      [&](const std::string& name) { return destination.Exists(name); },
      [&](const std::string& name) { return overwriting && context.run.createdNames.contains(destination.SamenessKey(name)); });
  if (const auto refused = OutcomeOfRefusal(admission.verdict)) {
    result.outcome = *refused;
    if (admission.verdict == Admission::noFreeName) result.error = "no free \"Copy (n ) of\" name left";
    return false;
  }
  result.name = admission.name;
  return true;
}

}  // namespace

std::unique_ptr<OutputFile> CreateOutputFile(ExtractionContext& context, const ExtractionRequest& request,
                                             ExtractionResult& result) {
  if (request.mode == ExtractMode::inMemory) {
    return request.sink ? OutputFile::Streaming(request.sink) : OutputFile::InMemory(request.memoryLimit);
  }
  const HostFolder& destination = *request.destination;
  result.name = SafeHostName(request.name);
  result.nameEscaped = HostVisibleName(request.name) != request.name;
  std::unique_ptr<OutputFile> file;
  if (request.mode == ExtractMode::recover) {
    if (const auto refusal = RefusalOf(result.name, request.deleted, context.settings, context.passesFilters)) {
      result.outcome = *OutcomeOfRefusal(*refusal);
      return nullptr;
    }
    // Nearly every name is free: an exclusive create takes it at once, and
    // only a taken one asks what stands there.
    bool taken = false;
    file = destination.CreateNewFile(result.name, taken, result.error);
    if (!file && taken) {
      if (!AdmitTakenName(context, request, result)) return nullptr;
      file = destination.CreateFile(result.name, result.error);
    }
  } else {
    file = destination.CreateFile(result.name, result.error);
  }
  if (!file) {
    result.outcome = ExtractionOutcome::creationFailed;
    // Another writer's "No" has already stopped the run: nothing to ask.
    if (!context.run.stopSaving && !context.ui.Confirm(CreationErrorQuestion(destination.PathOf(result.name)))) {
      context.run.stopSaving = true;
    }
  } else if (request.mode == ExtractMode::recover &&
             context.settings.duplicateMode == DuplicateMode::overwriteDuplicate) {
    context.run.createdNames.insert(destination.SamenessKey(result.name));
  }
  return file;
}

void CloseOutputFile(const ExtractionRequest& request, OutputFile& file, std::string failure,
                     ExtractionResult& result) {
  const bool closed = file.Close();
  result.bytesWritten = file.BytesWritten();
  if (request.mode == ExtractMode::inMemory) {
    // Reaching the limit ends the read; only the disk's own faults count.
    result.bytes = file.TakeBytes();
    result.outcome = ExtractionOutcome::written;
    result.error = std::move(failure);
    return;
  }
  if (!closed) failure = "the data could not be written (is the destination full?)";
  if (failure.empty() && !result.cutShort) {
    result.outcome = ExtractionOutcome::written;
    return;
  }
  // A file cut short by Skip File or Stop Saving is no recovered file
  // either: what was written of it is kept under a name that says so.
  result.outcome = failure.empty() ? ExtractionOutcome::interrupted : ExtractionOutcome::writeFailed;
  result.error = std::move(failure);
  const HostFolder& folder = *request.destination;
  if (result.bytesWritten > 0) {
    const std::string partial = SafeHostName(result.name + ".partial");
    if (folder.RenameWithoutReplacing(result.name, partial)) {
      result.keptAs = partial;
      return;
    }
  }
  folder.RemoveFile(result.name);
}

bool TakeSkipRequest(ExtractionContext& context, std::uint64_t fileSize) {
  if (!context.concurrentWriter) return context.run.skipFile;
  // A file copied in one read is done before anyone could mean to skip it.
  constexpr std::uint64_t kSkippableSize = std::uint64_t{DataCopier::kMaxReadSectors} * kSectorSize;
  return fileSize > kSkippableSize && context.run.skipFile.exchange(false);
}

bool DataCopier::Interrupted() {
  if (!interrupted_) interrupted_ = context_.run.stopSaving || TakeSkipRequest(context_, request_.size);
  return interrupted_;
}

DataCopier::DataCopier(ExtractionContext& context, const ExtractionRequest& request, OutputFile& file,
                       ExtractionResult& result)
    : context_(context), request_(request), file_(file), result_(result) {}

void DataCopier::CopySectors(std::uint64_t firstSector, std::uint64_t sectorCount, bool hole) {
  while (sectorCount > 0 && !Done() && !Interrupted() && !writeFailed_) {
    const std::uint64_t remaining = request_.size - copied_;
    if (request_.mode == ExtractMode::recover) {
      context_.saving.SetProgress(ProgressPercent(copied_, request_.size));
    }
    // Never past the file's end: a bad sector beyond it is not the file's.
    const auto sectors = static_cast<std::uint32_t>(
        std::min({std::uint64_t{kMaxReadSectors}, sectorCount, (remaining + kSectorSize - 1) / kSectorSize}));
    const std::size_t bytes = std::size_t{sectors} * kSectorSize;
    if (buffer_.size() < bytes) buffer_.resize(bytes);
    const std::span<std::uint8_t> piece(buffer_.data(), bytes);
    // Bytes past the valid length were never written: whatever the disk
    // holds there is not the file's.
    if (hole || copied_ >= request_.validSize) {
      std::fill(piece.begin(), piece.end(), std::uint8_t{0});
    } else {
      result_.unreadableSectors += context_.reader.ReadSectorsFillingGaps(firstSector, sectors, piece);
      if (request_.validSize - copied_ < bytes) {
        std::fill(piece.begin() + static_cast<std::ptrdiff_t>(request_.validSize - copied_), piece.end(),
                  std::uint8_t{0});
      }
    }
    const std::uint64_t length = std::min<std::uint64_t>(bytes, remaining);
    if (!file_.Write(piece.first(static_cast<std::size_t>(length)))) writeFailed_ = true;
    copied_ += length;
    if (request_.mode == ExtractMode::recover) context_.run.bytesCopied.fetch_add(length, std::memory_order_relaxed);
    firstSector += sectors;
    sectorCount -= sectors;
  }
}

void DataCopier::CopyBytes(const DiskExtent& extent) {
  // An extent whose end would pass 64 bits is cut where they end: no disk reaches there.
  std::uint64_t at = extent.first;
  std::uint64_t left = std::min(extent.length, UINT64_MAX - extent.first);
  while (left > 0 && !Done() && !Interrupted() && !writeFailed_) {
    if (request_.mode == ExtractMode::recover) {
      context_.saving.SetProgress(ProgressPercent(copied_, request_.size));
    }
    const std::uint64_t skip = at % kSectorSize;
    const std::uint64_t wanted = std::min({left, request_.size - copied_,
                                           std::uint64_t{kMaxReadSectors} * kSectorSize - skip});
    const auto sectors = static_cast<std::uint32_t>((skip + wanted + kSectorSize - 1) / kSectorSize);
    const std::size_t bytes = std::size_t{sectors} * kSectorSize;
    if (buffer_.size() < bytes) buffer_.resize(bytes);
    const std::span<std::uint8_t> piece(buffer_.data(), bytes);
    result_.unreadableSectors += context_.reader.ReadSectorsFillingGaps(at / kSectorSize, sectors, piece);
    if (!file_.Write(piece.subspan(static_cast<std::size_t>(skip), static_cast<std::size_t>(wanted)))) {
      writeFailed_ = true;
    }
    copied_ += wanted;
    if (request_.mode == ExtractMode::recover) context_.run.bytesCopied.fetch_add(wanted, std::memory_order_relaxed);
    at += wanted;
    left -= wanted;
  }
}

}  // namespace salvex
