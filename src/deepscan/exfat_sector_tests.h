#pragma once

#include <cstdint>
#include <vector>

#include "common/le_bytes.h"
#include "deepscan/hits.h"

namespace salvex {

// What one swept sector holds for exFAT, judged from its bytes (and those
// after it, where an entry set that begins in it goes on).
struct ExfatSectorFindings {
  bool bootSector = false;       // "EXFAT   " and the signature; its checksum is judged later
  bool beginsDirectory = false;  // its first entry begins a verified set, or is a bitmap, up-case or label entry
  bool holdsRootEntries = false; // an allocation bitmap and an up-case table entry: a root directory's
  std::vector<ExfatFolderHit> folders;  // `sector` left 0 for the caller
  std::uint32_t files = 0;       // file entry sets that begin in it
};

// `following` begins at the sector and holds what lies after it, as far as
// the caller has it (at least the sector itself). Only the entry sets whose
// File entry lies in the sector's own 512 bytes are taken, and only those
// whose set checksum verifies.
ExfatSectorFindings JudgeExfatSector(Bytes following);

// Whether an entry set that begins in the sector may go on past the bytes
// given: the caller then reads further and judges again.
bool ExfatSetMayBeCut(Bytes following);

}  // namespace salvex
