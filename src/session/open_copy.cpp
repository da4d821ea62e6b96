#include "session/open_copy.h"

#include "recovery/fat_extraction.h"
#include "recovery/ntfs_extraction.h"
#include "session/scans.h"

namespace salvex {

ExtractionResult ExtractForOpening(Session& session, std::uint32_t position, const HostFolder& folder, UiPort& ui) {
  ExtractionRequest request;
  request.destination = &folder;
  request.mode = ExtractMode::openCopy;
  const bool ntfs = ItemsAreNtfs(session);
  if (ntfs) {
    const NtfsFileItem& file = session.items.NtfsFiles().Items()[position];
    request.name = file.name;
    request.size = file.size;
    request.recordSector = file.recordSector;
    request.fileTime = file.changed;
  } else {
    const FatFileItem& file = session.items.FatFiles().Items()[position];
    request.name = file.name;
    request.size = file.size;
    request.firstCluster = file.firstCluster;
    request.deleted = file.deleted;
    request.id = file.id;
    request.fileTime = file.writeDate | (std::uint32_t{file.accessDate} << 16);
  }
  RecoveryRunState run;
  SilentSavingView saving;
  ExtractionContext context{session.reader, session.volume, session.settings, run, ui, saving, {}};
  return ntfs ? ExtractNtfsFile(context, request) : ExtractFatFile(context, request);
}

}  // namespace salvex
