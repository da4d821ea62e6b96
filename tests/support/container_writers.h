#pragma once

#include <cstdint>
#include <vector>

#include "support/format_writers.h"

namespace salvex::testing {

// Files of the container formats no Debian tool in the test set writes,
// made here by their formats' rules, with the structures a check reads.

// An MP4 with one H.264 track of `frames` samples (NAL units with 4-byte
// length fields, random payloads) in one "mdat", its "moov" after the data
// as cameras write it (or before it, when `movieFirst`).
FileBytes WriteMp4(int frames, std::uint32_t seed, bool movieFirst = false);

// An AVI of `frames` video chunks in its "movi" list, with an "idx1" index
// counted from the list's name.
FileBytes WriteAvi(int frames, std::uint32_t seed);

// A compound file (version 3, 512-byte sectors) with a "WordDocument"
// stream of `streamBytes` bytes that holds `inside` at byte `insideAt`.
FileBytes WriteOle2(std::size_t streamBytes, const FileBytes& inside, std::size_t insideAt, std::uint32_t seed);

// A 7z archive: packed bytes, then a plain header, with both CRCs right.
FileBytes WriteSevenZip(std::size_t packedBytes, std::uint32_t seed);

// A RAR 5 archive: its main header, one file header with `dataBytes` of
// data, and the end-of-archive header, each header's CRC right.
FileBytes WriteRar5(std::size_t dataBytes, std::uint32_t seed);

}  // namespace salvex::testing
