#include "carve/jpeg_fragments.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "carve/pieces_source.h"
#include "content/jpeg_check.h"

namespace salvex {
namespace {

// How far after the first piece a continuation is looked for, in blocks,
// and how many blocks at most are tried there.
constexpr std::uint64_t kSearchBytes = std::uint64_t{64} << 20;
constexpr std::size_t kMaxCandidates = 4096;
// Continuations that decode through their first block are decoded to the
// end; at most this many.
constexpr std::size_t kMaxFullTries = 32;
// Breaks tried: the block where the piece was cut, and the ones before it
// (the damage may have been seen a block late).
constexpr int kBreaksTried = 3;
// Joining needs clusters: in sectors, every sector would be a break and a
// continuation.
constexpr std::uint32_t kMinBlockBytes = 2048;

bool StartsAFile(CarveReader& disk, std::uint64_t at) {
  const Bytes start = disk.Read(at, 4);
  return start.size() == 4 && start[0] == 0xFF && start[1] == 0xD8 && start[2] == 0xFF;
}

struct Continuation {
  std::uint64_t start = 0;  // on the disk
  std::uint64_t end = 0;    // the end of its run of free blocks
};

// The free blocks no carved file holds after `from`, in order, each with
// the run of free blocks it starts.
std::vector<Continuation> Candidates(CarveReader& disk, const CarveArea& area, const ClaimedRanges& claims,
                                     std::uint64_t from) {
  std::vector<Continuation> found;
  const std::uint64_t limit = std::min(area.end, from + kSearchBytes);
  for (ByteRange run = area.OpenRunFrom(from); run.start < limit && found.size() < kMaxCandidates;
       run = area.OpenRunFrom(run.end)) {
    // Only the stretch of the run that is free in the area's own terms too.
    const std::uint64_t runEnd = std::min(run.end, area.SameStateEnd(run.start));
    for (std::uint64_t block = area.BlockStart(run.start); block < std::min(runEnd, limit) && found.size() < kMaxCandidates;
         block += area.blockBytes) {
      if (block < run.start || area.IsLive(block) || claims.AnyIn({block, block + area.blockBytes})) continue;
      if (StartsAFile(disk, block)) continue;
      found.push_back({block, runEnd});
    }
  }
  return found;
}

// The picture put together: `cut` bytes from `at`, then the rest from
// `next` up to the end the decoding found.
CarvedFile Joined(const CarvedFile& partial, std::uint64_t at, std::uint64_t cut, std::uint64_t next,
                  std::uint64_t end) {
  CarvedFile joined = partial;
  joined.pieces = {{at, at + cut}, {next, next + (end - cut)}};
  joined.size = end;
  joined.soundness = Soundness::whole;
  joined.cut = CarveCut::none;
  joined.joined = true;
  joined.why = "";
  return joined;
}

}  // namespace

std::optional<CarvedFile> JoinJpegPieces(CarveReader& disk, const CarveArea& area, const ClaimedRanges& claims,
                                         const CarvedFile& partial, IntactCheckBudget& budget) {
  const std::uint64_t at = partial.FirstByte();
  if (area.blockBytes < kMinBlockBytes || !area.IsBlockStart(at) || partial.pieces.size() != 1) return std::nullopt;
  // The first piece decoded again, keeping where each block's last unit began.
  PiecesSource first(disk, partial.pieces);
  JpegWalkOptions record;
  record.resumeEvery = area.blockBytes;
  record.keepResumePoints = 64;
  const JpegWalk walk = WalkJpeg(first, record);
  if (!walk.decoded || walk.resumePoints.empty()) return std::nullopt;
  const std::vector<Continuation> candidates = Candidates(disk, area, claims, partial.pieces.front().end);
  std::size_t fullTries = 0;
  for (int back = 0; back < kBreaksTried; ++back) {
    if (partial.size < (back + 1) * std::uint64_t{area.blockBytes}) break;
    const std::uint64_t cut = partial.size - back * std::uint64_t{area.blockBytes};
    const auto point = std::find_if(walk.resumePoints.begin(), walk.resumePoints.end(),
                                    [&](const JpegResumePoint& p) { return p.boundary == cut; });
    if (point == walk.resumePoints.end()) continue;
    JpegWalkOptions resume;
    resume.resumeFrom = &*point;
    for (const Continuation& next : candidates) {
      if (budget.Stopped()) return std::nullopt;
      // First through the one block: most wrong continuations fail in it.
      PiecesSource trial(disk, {{at, at + cut}, {next.start, std::min(next.end, next.start + area.blockBytes)}});
      const JpegWalk shortWalk = WalkJpeg(trial, resume);
      if (shortWalk.extent.soundness == Soundness::damaged) continue;
      if (shortWalk.extent.soundness != Soundness::whole) {
        if (fullTries++ >= kMaxFullTries) return std::nullopt;
        PiecesSource whole(disk, {{at, at + cut}, {next.start, next.end}});
        const JpegWalk longWalk = WalkJpeg(whole, resume);
        if (longWalk.extent.soundness != Soundness::whole) continue;
        return Joined(partial, at, cut, next.start, longWalk.extent.end);
      }
      return Joined(partial, at, cut, next.start, shortWalk.extent.end);
    }
  }
  return std::nullopt;
}

}  // namespace salvex
