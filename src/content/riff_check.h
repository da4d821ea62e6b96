#pragma once

#include "common/le_bytes.h"
#include "content/check_budget.h"
#include "content/content_extent.h"
#include "content/content_source.h"

namespace salvex {

// "RIFF", a size, and the form of an AVI, WAV or WebP file.
bool LooksLikeRiffStart(Bytes start);

// A RIFF file walked chunk by chunk: its chunks (and those of its lists)
// must tile it exactly to the size its header gives, each with a name of
// four printable characters; an AVI goes on through the "AVIX" extensions
// that follow it, and its index, where it has one, must name the chunks
// where they lie; a WAV needs its format and data chunks, a WebP its
// picture chunk. Unchecked at best: frames and samples carry no check.
// The extension is avi, wav or webp.
ContentExtent WalkRiff(ContentSource& source, IntactCheckBudget& budget);

}  // namespace salvex
