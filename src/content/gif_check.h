#pragma once

#include "common/le_bytes.h"
#include "content/content_extent.h"
#include "content/content_source.h"

namespace salvex {

// "GIF87a" or "GIF89a" and a logical screen of some size.
bool LooksLikeGifStart(Bytes start);

// A GIF walked block by block to its trailer: extensions and images with
// their sub-blocks, each image's LZW codes decoded (every code one the
// table has made, and as many pixels as the image has; the codes are not
// turned into pixels). Whole at the trailer after at least one image;
// damaged at the first block that fails, sound up to the block before it.
ContentExtent WalkGif(ContentSource& source);

}  // namespace salvex
