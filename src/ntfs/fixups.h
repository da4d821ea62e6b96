#pragma once

#include "common/le_bytes.h"

namespace salvex {

// Repairs a file record or index block in place with its update-sequence
// array: the last two bytes of each 512-byte sector were replaced on disk by
// the sequence number, and the array keeps the real ones. Every offset is
// checked against the buffer. As NTFS readers of this family always have,
// it repairs one sector fewer than the array covers: the last sector keeps
// the sequence number in its last two bytes (1022 and 1023 of a record),
// which is why resident data is never taken from there.
void ApplyFixups(MutableBytes block);

}  // namespace salvex
