#pragma once

#include "common/le_bytes.h"
#include "content/content_extent.h"
#include "content/content_source.h"

namespace salvex {

// "BM" and a header whose fields could be a real bitmap's.
bool LooksLikeBmpStart(Bytes start);

// A Windows bitmap: its headers' sizes (file, pixel data, rows) agree,
// and the file ends where its header says. Pixels carry no check, so a
// bitmap is at best unchecked.
ContentExtent WalkBmp(ContentSource& source);

}  // namespace salvex
