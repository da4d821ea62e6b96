#include "items/extraction.h"

namespace salvex {

std::string CreationErrorQuestion(const std::string& path) {
  return "Error creating file : " + path + ".  Continue Recovery ? ";
}

std::unique_ptr<OutputFile> CreateOutputFile(ExtractionContext& context, const ExtractionRequest& request,
                                             ExtractionResult& result) {
  const HostFolder& destination = *request.destination;
  result.name = SafeHostName(request.name);
  if (request.mode == ExtractMode::recover) {
    const AdmissionResult admission =
        AdmitForRecovery(result.name, request.deleted, context.settings, context.passesFilters,
                         [&](const std::string& name) { return destination.Exists(name); });
    switch (admission.verdict) {
      case Admission::admitted: break;
      case Admission::refusedByFilter: result.outcome = ExtractionOutcome::refusedByFilter; return nullptr;
      case Admission::refusedByDeletedMode: result.outcome = ExtractionOutcome::refusedByDeletedMode; return nullptr;
      case Admission::skippedDuplicate: result.outcome = ExtractionOutcome::skippedDuplicate; return nullptr;
      case Admission::noFreeName:
        result.outcome = ExtractionOutcome::creationFailed;
        result.error = "no free \"Copy (n ) of\" name left";
        return nullptr;
    }
    result.name = admission.name;
  }
  std::unique_ptr<OutputFile> file = destination.CreateFile(result.name, result.error);
  if (!file) {
    result.outcome = ExtractionOutcome::creationFailed;
    if (!context.ui.Confirm(CreationErrorQuestion(destination.PathOf(result.name)))) context.run.stopSaving = true;
  }
  return file;
}

std::uint32_t ChunkSectors(std::uint32_t sectorsPerCluster) {
  if (sectorsPerCluster < 8) return 1;
  return sectorsPerCluster == 8 ? 8 : 16;
}

}  // namespace salvex
