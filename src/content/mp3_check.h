#pragma once

#include "common/le_bytes.h"
#include "content/check_budget.h"
#include "content/content_extent.h"
#include "content/content_source.h"

namespace salvex {

// An ID3v2 tag, or an MPEG audio frame header (layer I, II or III) whose
// fields are ones a coder writes.
bool LooksLikeMp3Start(Bytes start);

// MPEG audio walked frame by frame from its first frame (after an ID3v2
// tag): each frame's header gives its length, and the next frame must
// follow with the same version, layer and sample rate. At least
// kMinMp3Frames frames, or the file is not taken for one. The file ends
// after the last frame (and an ID3v1 or APE tag after it). Where the first
// frame says how many bytes the stream has (a Xing, Info or VBRI header),
// frames that end sooner are cut short. Unchecked at best: the audio
// carries no check.
ContentExtent WalkMp3(ContentSource& source, IntactCheckBudget& budget);

inline constexpr int kMinMp3Frames = 8;

}  // namespace salvex
