#include "content/riff_check.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace salvex {
namespace {

constexpr int kMaxDepth = 8;
constexpr std::uint64_t kMaxChunks = 10'000'000;
constexpr int kMaxExtensions = 4096;

bool IsFourCc(ContentSource& source, std::uint64_t at) {
  const Bytes name = source.Read(at, 4);
  if (name.size() != 4) return false;
  for (const std::uint8_t c : name) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

struct ChunkWalk {
  std::uint64_t chunks = 0;
  bool formatChunk = false;  // "fmt " (WAV)
  bool dataChunk = false;    // "data" (WAV)
  bool pictureChunk = false; // "VP8 ", "VP8L" or "VP8X" (WebP)
  std::uint64_t movi = 0;    // where the "movi" list's name lies (AVI), 0 if none
  std::uint64_t index = 0;   // the "idx1" chunk's start, 0 if none
  std::uint64_t failedAt = 0;
};

// Walks the chunks of [at, end); false at the first that does not fit.
bool WalkChunks(ContentSource& source, std::uint64_t at, std::uint64_t end, int depth, ChunkWalk& walk) {
  while (at < end) {
    if (end - at == 1 && SourceU8(source, at) == 0) return true;  // a pad byte
    if (end - at < 8 || !IsFourCc(source, at) || ++walk.chunks > kMaxChunks) {
      walk.failedAt = at;
      return false;
    }
    const std::uint32_t id = SourceU32le(source, at);
    const std::uint64_t size = SourceU32le(source, at + 4);
    const std::uint64_t next = at + 8 + size + (size & 1);
    if (size > end - at - 8) {
      walk.failedAt = at;
      return false;
    }
    if (id == 0x5453494C /* LIST */ && size >= 4 && depth < kMaxDepth) {
      if (SourceHasText(source, at + 8, "movi")) walk.movi = at + 8;
      if (!WalkChunks(source, at + 12, at + 8 + size, depth + 1, walk)) return false;
    }
    if (id == 0x20746D66 /* "fmt " */) walk.formatChunk = true;
    if (id == 0x61746164 /* data */) walk.dataChunk = true;
    if (id == 0x20385056 /* "VP8 " */ || id == 0x4C385056 /* VP8L */ || id == 0x58385056 /* VP8X */) {
      walk.pictureChunk = true;
    }
    if (id == 0x31786469 /* idx1 */) walk.index = at;
    at = std::min(next, end);
  }
  return true;
}

// An AVI's index names each chunk by its name and size, at an offset from
// the "movi" list's name (or, by some writers, from the file's start). The
// first entry that names a chunk not there, or nothing when all are.
std::optional<std::uint64_t> MisplacedIndexEntry(ContentSource& source, const ChunkWalk& walk, IntactCheckBudget& budget) {
  const std::uint64_t entries = SourceU32le(source, walk.index + 4) / 16;
  const std::uint64_t first = walk.index + 8;
  if (entries == 0) return std::nullopt;
  // Which base the offsets count from: the one that fits the first entry.
  const std::uint32_t firstId = SourceU32le(source, first);
  const std::uint64_t firstOffset = SourceU32le(source, first + 8);
  std::uint64_t base = walk.movi;
  if (SourceU32le(source, walk.movi + firstOffset) != firstId) base = 0;
  for (std::uint64_t i = 0; i < entries; ++i) {
    if (i % 4096 == 0 && budget.Stopped()) return std::nullopt;
    const std::uint64_t entry = first + i * 16;
    const std::uint64_t at = base + SourceU32le(source, entry + 8);
    if (SourceU32le(source, at) != SourceU32le(source, entry) || SourceU32le(source, at + 4) != SourceU32le(source, entry + 12)) {
      return at;
    }
  }
  return std::nullopt;
}

}  // namespace

bool LooksLikeRiffStart(Bytes start) {
  if (!HasText(start, 0, "RIFF") || u32le(start, 4) < 4) return false;
  return HasText(start, 8, "AVI ") || HasText(start, 8, "WAVE") || HasText(start, 8, "WEBP");
}

ContentExtent WalkRiff(ContentSource& source, IntactCheckBudget& budget) {
  if (!LooksLikeRiffStart(source.Read(0, 12))) return ContentExtent::NotThisKind("no RIFF header of AVI, WAV or WebP");
  const char* extension = SourceHasText(source, 8, "AVI ") ? "avi" : SourceHasText(source, 8, "WAVE") ? "wav" : "webp";
  const auto verdict = [&](ContentExtent extent) {
    extent.extension = extension;
    return extent;
  };
  std::uint64_t end = 8 + std::uint64_t{SourceU32le(source, 4)};
  ChunkWalk walk;
  for (int extensionIndex = 0;; ++extensionIndex) {
    const std::uint64_t start = extensionIndex == 0 ? 0 : end;
    if (extensionIndex > 0) {
      // An OpenDML AVI goes on in "RIFF ... AVIX" lists right after the first.
      if (extensionIndex > kMaxExtensions || !SourceHasText(source, start, "RIFF") ||
          !SourceHasText(source, start + 8, "AVIX")) {
        break;
      }
      end = start + 8 + std::uint64_t{SourceU32le(source, start + 4)};
    }
    if (!SourceFits(source, 0, end)) {
      // What is here holds up to where it stops.
      ChunkWalk partial;
      WalkChunks(source, start + 12, source.Size(), 0, partial);
      return verdict(ContentExtent::CutShort(partial.failedAt > 0 ? partial.failedAt : source.Size(),
                                             "ends before the size its header gives"));
    }
    if (!WalkChunks(source, start + 12, end, 0, walk)) {
      return verdict(ContentExtent::Damaged(walk.failedAt, "a chunk that does not fit where it lies"));
    }
    if (std::string_view(extension) != "avi") break;
  }
  if (std::string_view(extension) == "wav" && (!walk.formatChunk || !walk.dataChunk)) {
    return verdict(ContentExtent::Damaged(0, "a WAV without its format or data chunk"));
  }
  if (std::string_view(extension) == "webp" && !walk.pictureChunk) {
    return verdict(ContentExtent::Damaged(0, "a WebP without its picture chunk"));
  }
  if (walk.index != 0 && walk.movi != 0) {
    if (const std::optional<std::uint64_t> misplaced = MisplacedIndexEntry(source, walk, budget)) {
      return verdict(ContentExtent::Damaged(std::min(*misplaced, end), "its index names a chunk that is not there"));
    }
  }
  return verdict(ContentExtent::Unchecked(end));
}

}  // namespace salvex
