#include "carve/zip_fragments.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "carve/pieces_source.h"
#include "content/zip_check.h"

namespace salvex {
namespace {

constexpr std::uint64_t kSearchBytes = std::uint64_t{256} << 20;
constexpr std::size_t kMaxRecords = 64;
constexpr std::uint32_t kMinBlockBytes = 2048;

// The end records ("PK\5\6") in the free, unclaimed stretches after `from`.
std::vector<std::uint64_t> EndRecords(CarveReader& disk, const CarveArea& area, const ClaimedRanges& claims,
                                      std::uint64_t from) {
  std::vector<std::uint64_t> found;
  const std::uint64_t limit = std::min(area.end, from + kSearchBytes);
  for (ByteRange run = area.OpenRunFrom(from); run.start < limit && found.size() < kMaxRecords;
       run = area.OpenRunFrom(run.end)) {
    for (std::uint64_t at = run.start; at < std::min(run.end, limit) && found.size() < kMaxRecords;) {
      const Bytes window = disk.Read(at, static_cast<std::size_t>(std::min<std::uint64_t>(CarveReader::kBlockBytes,
                                                                                          run.end - at)));
      if (window.size() < 4) break;
      for (const std::uint8_t* p = window.data(); found.size() < kMaxRecords;) {
        const std::uint8_t* const end = window.data() + window.size() - 3;
        p = p < end ? static_cast<const std::uint8_t*>(std::memchr(p, 'P', static_cast<std::size_t>(end - p))) : nullptr;
        if (!p) break;
        if (p[1] == 'K' && p[2] == 5 && p[3] == 6) {
          const std::uint64_t record = at + static_cast<std::uint64_t>(p - window.data());
          if (!claims.At(record)) found.push_back(record);
        }
        ++p;
      }
      at += window.size() > 3 ? window.size() - 3 : window.size();
    }
  }
  return found;
}

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
  for (const std::uint64_t record : EndRecords(disk, area, claims, firstEnd)) {
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
    if (!area.IsBlockStart(rest) || area.SameStateEnd(rest) < end || area.IsLive(rest) || claims.AnyIn({rest, end})) {
      continue;
    }
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
