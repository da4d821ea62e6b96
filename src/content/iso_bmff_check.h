#pragma once

#include "common/le_bytes.h"
#include "content/check_budget.h"
#include "content/content_extent.h"
#include "content/content_source.h"

namespace salvex {

// An ISO base media file (MP4, MOV, 3GP, M4A, HEIC, CR3): an "ftyp" box
// first, or the "moov" (with its "mvhd") or "wide" box old QuickTime files
// start with.
bool LooksLikeIsoBmffStart(Bytes start);

// The file walked box by box at its top level, up to the first bytes that
// are no top-level box; there it ends. Its "moov" box's sample tables are
// then held against the media data: every chunk must lie inside an "mdat"
// box, and each sample of an H.264 or H.265 track must be made of NAL
// units whose length fields add up to its size (the first bytes of each
// frame of a JPEG track must start a JPEG). Samples that fail are damaged
// stretches; the file's end stands. Cut short when the boxes run past the
// bytes at hand, or no "moov" box was met (it lay beyond them). Unchecked
// at best: the coded pictures and sound themselves carry no check. The
// extension follows the major brand: mov, mp4, m4a, m4v, 3gp, heic, avif,
// cr3.
ContentExtent WalkIsoBmff(ContentSource& source, IntactCheckBudget& budget);

}  // namespace salvex
