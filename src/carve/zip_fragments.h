#pragma once

#include <optional>

#include "carve/carve_area.h"
#include "carve/carve_reader.h"
#include "carve/carved_file.h"
#include "carve/claimed_ranges.h"
#include "content/check_budget.h"

namespace salvex {

// A ZIP cut short where its run of free blocks ends, put together by its
// central directory: the end records in the free blocks after it are read,
// each says where its directory lies from the archive's start, so where
// the rest of the archive must begin on the disk follows; where that is a
// block no carved file holds, in one run of free blocks up to the record,
// the two pieces are checked as one archive (every member's local header
// and CRC-32), and taken when they hold. Nothing otherwise.
std::optional<CarvedFile> JoinZipPieces(CarveReader& disk, const CarveArea& area, const ClaimedRanges& claims,
                                        const CarvedFile& partial, IntactCheckBudget& budget);

}  // namespace salvex
