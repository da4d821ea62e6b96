#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "common/le_bytes.h"
#include "content/content_extent.h"
#include "content/content_source.h"
#include "content/jpeg_entropy.h"

namespace salvex {

// Whether a JPEG's bytes hold together from the start-of-image marker to
// the end-of-image marker. The markers are walked by their lengths; the
// entropy-coded data of a sequential Huffman frame (baseline or extended,
// the kind cameras and most programs write) is decoded block by block with
// the file's own tables: every code must be one of the table's, no block
// may hold more than 64 coefficients, a DC value must stay inside what an
// 8×8 block of its samples can give, restart markers must come in order
// after exactly the restart interval's blocks, and the frame's last block
// must end where the next marker begins. Bytes of another file in the
// middle (a cluster taken by a text file, say) throw the decoding off long
// before the end. Progressive and arithmetic-coded scans are only checked
// byte by byte: after 0xFF only a stuffed 0x00, the next restart marker in
// turn, or a marker ending the scan. The work is linear in the file's size.
bool JpegIsWhole(Bytes bytes);

// Where the decoding of a scan stood at the start of one of its units (an
// MCU, or a block of a single-component scan): enough to go on decoding
// from there with other bytes after `boundary`, which the unit's bytes
// cross. A carver that finds a picture cut at a cluster boundary tries the
// free clusters that may continue it this way, without decoding the first
// piece again.
struct JpegResumePoint {
  std::uint64_t scanMarker = 0;  // the offset of the scan's SOS marker
  EntropyPosition at;            // the unit's first bit
  std::uint64_t unit = 0;
  int nextRestart = 0;
  std::array<std::int32_t, 4> predictors{};
  std::uint64_t boundary = 0;    // a multiple of JpegWalkOptions::resumeEvery
};

struct JpegWalkOptions {
  // Record a resume point at each multiple of this many bytes the coded
  // data crosses (0: none), keeping the last `keepResumePoints`.
  std::uint64_t resumeEvery = 0;
  std::size_t keepResumePoints = 16;
  // Go on from this point, in the scan it names, instead of decoding that
  // scan from its start.
  const JpegResumePoint* resumeFrom = nullptr;
  // After the end-of-image marker, take a JPEG that follows at once as part
  // of the file (the second picture of a multi-picture file; not for a file
  // whose size is known).
  bool followAppended = false;
};

struct JpegWalk {
  ContentExtent extent;
  // Where decoding stopped, when it failed in coded data: the byte being
  // read. 0 otherwise.
  std::uint64_t failedAt = 0;
  // The file's coded data could be decoded (a sequential Huffman frame).
  bool decoded = false;
  std::uint64_t scanData = 0;  // where the first scan's coded data begins

  std::vector<JpegResumePoint> resumePoints;  // oldest first
};

// The walk of a JPEG from its first byte, as JpegIsWhole does it, with the
// end it finds: whole up to its end-of-image marker; cut short when the
// bytes end first; damaged where the markers or the coded data fail, sound
// up to the last unit decoded before the failure.
JpegWalk WalkJpeg(ContentSource& source, const JpegWalkOptions& options = {});

}  // namespace salvex
