#include "session/open_copy.h"

#include "recovery/fat_extraction.h"
#include "recovery/ntfs_extraction.h"
#include "session/extraction_context.h"
#include "session/scans.h"

namespace salvex {

ExtractionResult ExtractForOpening(Session& session, std::uint32_t position, const HostFolder& folder, UiPort& ui) {
  const bool ntfs = ItemsAreNtfs(session);
  ExtractionRequest request = ntfs ? NtfsExtractionRequest(session.items.NtfsFiles().Items()[position])
                                   : FatExtractionRequest(session.items.FatFiles().Items()[position]);
  request.destination = &folder;
  request.mode = ExtractMode::openCopy;
  RecoveryRunState run;
  SilentSavingView saving;
  ExtractionContext context = ExtractionContextOf(session, run, ui, saving, {});
  return ntfs ? ExtractNtfsFile(context, request) : ExtractFatFile(context, request);
}

}  // namespace salvex
