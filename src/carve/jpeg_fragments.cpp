#include "carve/jpeg_fragments.h"

namespace salvex {

std::optional<CarvedFile> JoinJpegPieces(CarveReader&, const CarveArea&, const ClaimedRanges&, const CarvedFile&,
                                         IntactCheckBudget&) {
  return std::nullopt;
}

}  // namespace salvex
