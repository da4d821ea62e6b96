#include "carve/zip_fragments.h"

#include <algorithm>
#include <vector>

#include "carve/free_space_search.h"
#include "carve/pieces_source.h"
#include "content/zip_check.h"

namespace salvex {
namespace {

constexpr std::uint64_t kSearchBytes = std::uint64_t{256} << 20;
constexpr std::size_t kMaxRecords = 64;
constexpr std::uint32_t kMinBlockBytes = 2048;


}  // namespace

std::optional<CarvedFile> JoinZipPieces(CarveReader& disk, const CarveArea& area, const ClaimedRanges& claims,
                                        const CarvedFile& partial, IntactCheckBudget& budget) {
  const std::uint64_t at = partial.FirstByte();
  if (area.blockBytes < kMinBlockBytes || !area.IsBlockStart(at) || partial.pieces.size() != 1 ||
      partial.soundness != Soundness::cutShort) {
    return std::nullopt;
  }
  const std::uint64_t firstEnd = partial.pieces.front().end;
  const std::uint64_t cut = firstEnd - at;
  using namespace std::string_view_literals;
  for (const std::uint64_t record :
       FindInFreeSpace(disk, area, claims, firstEnd, kSearchBytes, "PK\x05\x06"sv, kMaxRecords)) {
    if (budget.Stopped()) return std::nullopt;
    const Bytes fields = disk.Read(record, 22);
    if (fields.size() < 22) continue;
    const std::uint32_t directorySize = u32le(fields, 12);
    const std::uint32_t directoryStart = u32le(fields, 16);
    const std::uint16_t comment = u16le(fields, 20);
    if (directoryStart == 0xFFFFFFFF || directorySize == 0xFFFFFFFF) continue;
    // The record lies this far into the archive; the rest of the archive
    // begins that far, less the first piece, before it.
    const std::uint64_t recordInFile = std::uint64_t{directoryStart} + directorySize;
    if (recordInFile <= cut || record - firstEnd < recordInFile - cut) continue;
    const std::uint64_t rest = record - (recordInFile - cut);
    const std::uint64_t end = record + 22 + comment;
    if (!IsFreeContinuation(area, claims, rest, end)) continue;
    PiecesSource joined(disk, {{at, firstEnd}, {rest, end}});
    const ContentExtent checked = WalkZip(joined, budget);
    if ((checked.soundness != Soundness::whole && checked.soundness != Soundness::unjudged) ||
        checked.end != joined.Size()) {
      continue;
    }
    CarvedFile file = partial;
    file.pieces = joined.Pieces();
    file.size = joined.Size();
    file.soundness = checked.soundness;
    if (checked.extension) file.extension = checked.extension;
    file.cut = CarveCut::none;
    file.joined = true;
    file.why = checked.why;
    return file;
  }
  return std::nullopt;
}

}  // namespace salvex
