#pragma once

#include "common/le_bytes.h"
#include "content/check_budget.h"
#include "content/content_extent.h"
#include "content/content_source.h"

namespace salvex {

// "fLaC" and a STREAMINFO block of its length first.
bool LooksLikeFlacStart(Bytes start);

// A FLAC stream: its metadata blocks to the last one, then its frames, each
// from a header whose CRC-8 holds to the CRC-16 that ends it (the next
// frame's header is looked for, and the CRC-16 over the bytes between
// settles where the frame ends). Whole when the frames give every sample
// STREAMINFO counts (or, when it counts none, when no frame follows the
// last); cut short or damaged at the first frame that does not end.
ContentExtent WalkFlac(ContentSource& source, IntactCheckBudget& budget);

}  // namespace salvex
