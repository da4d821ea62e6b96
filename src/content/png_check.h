#pragma once

#include "common/le_bytes.h"
#include "content/content_extent.h"
#include "content/content_source.h"

namespace salvex {

// The eight bytes every PNG starts with, and an IHDR chunk after them.
bool LooksLikePngStart(Bytes start);

// A PNG walked chunk by chunk: each chunk's type four letters and its
// CRC-32 matching, an IHDR first, up to IEND, where it ends. Damaged at the
// first chunk that fails, which is where it is sound up to.
ContentExtent WalkPng(ContentSource& source);

}  // namespace salvex
