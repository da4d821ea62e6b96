#pragma once

#include <optional>

#include "carve/carve_area.h"
#include "carve/carve_reader.h"
#include "carve/carved_file.h"
#include "carve/claimed_ranges.h"
#include "content/check_budget.h"

namespace salvex {

// A JPEG found cut short or damaged where a run of blocks ends, put
// together with the blocks that go on with it: the free blocks after it
// that no carved file holds are tried, each as the continuation of the
// coded data from the last unit before the break, and the one whose bytes
// decode on to the end-of-image marker is taken. Nothing when no
// continuation decodes to the end.
std::optional<CarvedFile> JoinJpegPieces(CarveReader& disk, const CarveArea& area, const ClaimedRanges& claims,
                                         const CarvedFile& partial, IntactCheckBudget& budget);

}  // namespace salvex
