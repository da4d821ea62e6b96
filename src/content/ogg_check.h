#pragma once

#include "common/le_bytes.h"
#include "content/check_budget.h"
#include "content/content_extent.h"
#include "content/content_source.h"

namespace salvex {

// An Ogg page header that begins a stream ("OggS", version 0, the
// beginning-of-stream flag).
bool LooksLikeOggStart(Bytes start);

// An Ogg file walked page by page: each page's CRC-32 must hold and its
// sequence number follow the last of its stream; the file ends after the
// page that ends its last open stream. Whole then; cut short or damaged
// at the first page that fails. The extension follows the first stream's
// codec: ogg (Vorbis), opus, oga (FLAC), ogv (Theora).
ContentExtent WalkOgg(ContentSource& source, IntactCheckBudget& budget);

}  // namespace salvex
