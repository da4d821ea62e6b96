#pragma once

#include "common/le_bytes.h"

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

}  // namespace salvex
