#pragma once

#include <optional>
#include <string>

#include "common/le_bytes.h"

namespace salvex {

// The checksum a long-name entry keeps of its short entry's 11 name bytes,
// as they stand on disk.
std::uint8_t ShortNameChecksum(Bytes shortEntry);

// The long name stored in the long-name entries just before entry
// `entryIndex` of a run of consecutive 32-byte directory entries, in whole
// UTF-16 units. The set is read backwards from the entry before, 13 units per
// entry, until a unit 0x0000, the entry that marks the set's last (sequence
// byte 0x40 + count), an entry that is not a long-name entry, the run's first
// entry, or 260 units.
//
// The set must belong to the short entry: every part carries the same
// checksum, a live short entry's parts are live and carry its checksum, and
// a deleted short entry's parts are deleted too (its checksum was taken of a
// first byte that deleting overwrote). So the name a deleted file left in
// slots that a live file took over is not given to that file. Nothing when
// the entry has no long name of its own (or an empty one).
std::optional<std::u16string> AssembleLongName(Bytes entries, unsigned entryIndex);

// A plausibility filter for names read from disk: rejects empty names, control
// characters (below U+0020, and U+007F), unpaired surrogates, U+FFFE, U+FFFF
// and " \ / ? * < > |.
bool IsAcceptableName(std::u16string_view name);

// Whether a long name can stand for its file as text: not empty, no unpaired
// surrogate, no U+FFFE or U+FFFF (the padding after a name's end, so a name
// that holds it has lost its end). Control characters and separators are
// text: they are escaped where names are shown and made safe where written.
bool IsDecodableName(std::u16string_view name);

}  // namespace salvex
