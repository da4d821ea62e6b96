#pragma once

#include <optional>

#include "carve/carve_area.h"
#include "carve/carve_reader.h"
#include "carve/carved_file.h"
#include "carve/claimed_ranges.h"
#include "content/check_budget.h"

namespace salvex {

// An MP4 (or MOV, 3GP ...) cut short inside its media data, as a camera
// writes one: its movie box comes after the media, where the media box's
// size says. The movie boxes in the free blocks after the first piece are
// tried in turn: each says where the rest of the file must begin on the
// disk; where that is a free block no carved file holds, in one run up to
// the movie box's end, the two pieces are checked as one file (every chunk
// inside the media, every sample what its track codes), and taken when
// they hold. Nothing otherwise.
std::optional<CarvedFile> JoinIsoBmffPieces(CarveReader& disk, const CarveArea& area, const ClaimedRanges& claims,
                                            const CarvedFile& partial, IntactCheckBudget& budget);

}  // namespace salvex
