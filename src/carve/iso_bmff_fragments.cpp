#include "carve/iso_bmff_fragments.h"

#include <string_view>

#include "carve/free_space_search.h"
#include "carve/pieces_source.h"
#include "content/iso_bmff_check.h"

namespace salvex {
namespace {

constexpr std::uint64_t kSearchBytes = std::uint64_t{512} << 20;
constexpr std::size_t kMaxMovies = 64;
constexpr std::uint32_t kMinBlockBytes = 2048;
constexpr std::size_t kMaxBoxes = 100000;

// The top-level box of the first piece that runs past its end: its start
// and where it ends in the file. Nothing when every box ends inside it.
std::optional<ByteRange> BoxRunningPast(ContentSource& piece) {
  std::uint64_t at = 0;
  for (std::size_t i = 0; i < kMaxBoxes && SourceFits(piece, at, 8); ++i) {
    const std::uint32_t size32 = SourceU32be(piece, at);
    const std::uint64_t size = size32 == 1 ? SourceU64be(piece, at + 8) : size32;
    if (size < 8) return std::nullopt;
    if (size > piece.Size() - at) return ByteRange{at, at + size};
    at += size;
  }
  return std::nullopt;
}

}  // namespace

std::optional<CarvedFile> JoinIsoBmffPieces(CarveReader& disk, const CarveArea& area, const ClaimedRanges& claims,
                                            const CarvedFile& partial, IntactCheckBudget& budget) {
  const std::uint64_t at = partial.FirstByte();
  if (area.blockBytes < kMinBlockBytes || !area.IsBlockStart(at) || partial.pieces.size() != 1 ||
      partial.soundness != Soundness::cutShort) {
    return std::nullopt;
  }
  PiecesSource first(disk, partial.pieces);
  const std::optional<ByteRange> running = BoxRunningPast(first);
  if (!running) return std::nullopt;
  const std::uint64_t firstEnd = partial.pieces.front().end;
  const std::uint64_t cut = firstEnd - at;
  using namespace std::string_view_literals;
  for (const std::uint64_t type : FindInFreeSpace(disk, area, claims, firstEnd, kSearchBytes, "moov"sv, kMaxMovies)) {
    if (budget.Stopped()) return std::nullopt;
    if (type < 4) continue;
    const std::uint64_t movie = type - 4;
    const Bytes header = disk.Read(movie, 16);
    if (header.size() < 16 || !HasText(header, 12, "mvhd")) continue;
    const std::uint64_t size = u32be(header, 0);
    // The movie box follows the box that ran past the first piece.
    if (size < 16 || movie < firstEnd || movie - firstEnd < running->end - cut) continue;
    const std::uint64_t rest = movie - (running->end - cut);
    if (!IsFreeContinuation(area, claims, rest, movie + size)) continue;
    PiecesSource joined(disk, {{at, firstEnd}, {rest, movie + size}});
    const ContentExtent checked = WalkIsoBmff(joined, budget);
    if (!checked.Ends() || checked.end != joined.Size()) continue;
    CarvedFile file = partial;
    file.pieces = joined.Pieces();
    file.size = joined.Size();
    file.soundness = checked.soundness;
    file.cut = CarveCut::none;
    file.joined = true;
    file.why = checked.why;
    if (checked.extension) file.extension = checked.extension;
    return file;
  }
  return std::nullopt;
}

}  // namespace salvex
