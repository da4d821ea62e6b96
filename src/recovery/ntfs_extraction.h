#pragma once

#include "items/items.h"
#include "recovery/extraction.h"

namespace salvex {

// Copies one NTFS file out of the volume from its MFT record at
// request.recordSector: data held in the record itself, or the clusters its
// run list names (holes written as zeros). A file of 0 bytes is not created;
// compressed or encrypted data is refused, as its clusters are not the
// user's bytes. Otherwise as ExtractFatFile: admission in recover mode, Stop
// Saving and Skip File at chunk boundaries, unreadable sectors as zeros.
// The file gets the NTFS time in request.fileTime.
ExtractionResult ExtractNtfsFile(ExtractionContext& context, const ExtractionRequest& request);

// What ExtractNtfsFile needs of a file of the store.
ExtractionRequest NtfsExtractionRequest(const NtfsFileItem& file);

// An NTFS time (100 ns units since 1601) as Unix seconds.
std::time_t NtfsTimeToUnix(std::uint64_t ntfsTime);

}  // namespace salvex
