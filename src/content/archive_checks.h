#pragma once

#include "common/le_bytes.h"
#include "content/check_budget.h"
#include "content/content_extent.h"
#include "content/content_source.h"

namespace salvex {

// The archives whose headers carry CRCs of their own: 7z, RAR (4 and 5)
// and gzip.

// The 7z signature and a start header whose CRC-32 holds.
bool LooksLikeSevenZipStart(Bytes start);
// A 7z archive ends after the header its start header points at, whose
// CRC-32 must hold too. Unchecked: the packed streams are not unpacked.
ContentExtent WalkSevenZip(ContentSource& source, IntactCheckBudget& budget);

// "Rar!\x1A\x07" and the byte of version 4 or 5.
bool LooksLikeRarStart(Bytes start);
// A RAR archive walked header by header (each header's CRC must hold, and
// the data after it is skipped by its size) to its end-of-archive header.
// Unchecked: the packed files are not unpacked.
ContentExtent WalkRar(ContentSource& source, IntactCheckBudget& budget);

// A gzip member header: 1F 8B, deflate, no flag gzip lacks.
bool LooksLikeGzipStart(Bytes start);
// Gzip members, one after another: each inflated to its end, whose CRC-32
// and size must match what the member's trailer says. Whole then.
ContentExtent WalkGzip(ContentSource& source, IntactCheckBudget& budget);

}  // namespace salvex
