#include "content/mp3_check.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace salvex {
namespace {

constexpr std::uint64_t kMaxFrames = 50'000'000;
// How far after a stretch that is no frame the stream is looked for, how
// many frames in a row make it found, and how many such stretches a file
// may have before it is taken for ending at the first.
constexpr std::size_t kResyncBytes = 16 * 1024;
constexpr int kResyncFrames = 4;
constexpr std::size_t kMaxDamagedStretches = 64;

struct FrameHeader {
  int version = 0;  // 3: MPEG 1, 2: MPEG 2, 0: MPEG 2.5
  int layer = 0;    // 1, 2 or 3
  int sampleRate = 0;
  std::uint32_t length = 0;
  bool mono = false;
  std::uint32_t key = 0;  // version, layer and rate: what every frame of a stream shares
};

// Kilobits per second, by version (1, or 2 and 2.5), layer and index.
constexpr int kBitRates[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
constexpr int kSampleRates[3] = {44100, 48000, 32000};

std::optional<FrameHeader> ParseFrame(std::uint32_t bits) {
  if ((bits >> 21) != 0x7FF) return std::nullopt;
  FrameHeader frame;
  frame.version = static_cast<int>(bits >> 19 & 3);
  const int layerBits = static_cast<int>(bits >> 17 & 3);
  const int rateIndex = static_cast<int>(bits >> 12 & 15);
  const int sampleIndex = static_cast<int>(bits >> 10 & 3);
  const int padding = static_cast<int>(bits >> 9 & 1);
  const int emphasis = static_cast<int>(bits & 3);
  if (frame.version == 1 || layerBits == 0 || rateIndex == 0 || rateIndex == 15 || sampleIndex == 3 || emphasis == 2) {
    return std::nullopt;
  }
  frame.layer = 4 - layerBits;
  frame.sampleRate = kSampleRates[sampleIndex] >> (frame.version == 3 ? 0 : frame.version == 2 ? 1 : 2);
  const int kbps = kBitRates[frame.version == 3 ? 0 : 1][frame.layer - 1][rateIndex];
  if (frame.layer == 1) {
    frame.length = static_cast<std::uint32_t>((12 * kbps * 1000 / frame.sampleRate + padding) * 4);
  } else {
    const int perFrame = frame.layer == 3 && frame.version != 3 ? 72 : 144;
    frame.length = static_cast<std::uint32_t>(perFrame * kbps * 1000 / frame.sampleRate + padding);
  }
  frame.mono = (bits >> 6 & 3) == 3;
  frame.key = bits & 0xFFFE0C00;  // sync, version, layer and sample rate
  return frame.length >= 24 ? std::optional(frame) : std::nullopt;
}

// The bytes an ID3v2 tag at the start takes (0 when there is none); its
// size is four bytes of seven bits each.
std::uint64_t Id3v2Size(Bytes start) {
  if (!HasText(start, 0, "ID3") || u8(start, 3) < 2 || u8(start, 3) > 4 || u8(start, 4) == 0xFF) return 0;
  std::uint64_t size = 0;
  for (std::size_t i = 6; i < 10; ++i) {
    if (u8(start, i) & 0x80) return 0;
    size = size << 7 | u8(start, i);
  }
  const bool footer = (u8(start, 5) & 0x10) != 0;
  return 10 + size + (footer ? 10 : 0);
}

// The stream's size in bytes as the first frame's Xing, Info or VBRI
// header gives it (from the first frame's start); 0 when it gives none.
std::uint64_t StatedBytes(ContentSource& source, std::uint64_t frame, const FrameHeader& header) {
  const std::uint64_t side = header.version == 3 ? (header.mono ? 17 : 32) : (header.mono ? 9 : 17);
  const std::uint64_t xing = frame + 4 + side;
  if (SourceHasText(source, xing, "Xing") || SourceHasText(source, xing, "Info")) {
    const std::uint32_t flags = SourceU32be(source, xing + 4);
    if ((flags & 2) == 0) return 0;
    return SourceU32be(source, xing + 8 + ((flags & 1) ? 4 : 0));
  }
  if (SourceHasText(source, frame + 36, "VBRI")) return SourceU32be(source, frame + 36 + 10);
  return 0;
}

// Where the stream goes on within kResyncBytes of `from`: a frame header of
// the stream's kind with kResyncFrames more following it, one after
// another. Nothing when it does not.
std::optional<std::uint64_t> Resync(ContentSource& source, std::uint64_t from, std::uint32_t key) {
  const Bytes window = source.Read(from, kResyncBytes);
  std::vector<std::uint8_t> bytes(window.begin(), window.end());  // a copy: the frames after are read too
  // Zeros after the last frame are the slack after a file's end, not a
  // stretch written over.
  if (std::all_of(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(bytes.size(), 64)),
                  [](std::uint8_t byte) { return byte == 0; })) {
    return std::nullopt;
  }
  for (std::size_t i = 1; i + 4 <= bytes.size(); ++i) {
    // A stream that starts where a sector does is another file's; one that
    // goes on after a stretch written over does so wherever its frame was.
    if (bytes[i] != 0xFF || (from + i) % 512 == 0) continue;
    std::uint64_t at = from + i;
    int found = 0;
    for (; found <= kResyncFrames; ++found) {
      const std::optional<FrameHeader> frame = ParseFrame(SourceU32be(source, at));
      if (!frame || frame->key != key || !SourceFits(source, at, frame->length)) break;
      at += frame->length;
    }
    if (found > kResyncFrames) return from + i;
  }
  return std::nullopt;
}

}  // namespace

bool LooksLikeMp3Start(Bytes start) {
  if (Id3v2Size(start) > 0) return true;
  const std::optional<FrameHeader> frame = ParseFrame(u32be(start, 0));
  if (!frame) return false;
  // A second frame right after the first, of the same stream.
  const std::optional<FrameHeader> next = ParseFrame(u32be(start, frame->length));
  return start.size() < frame->length + 4 || (next && next->key == frame->key);
}

ContentExtent WalkMp3(ContentSource& source, IntactCheckBudget& budget) {
  const Bytes start = source.Read(0, 10);
  const std::uint64_t first = Id3v2Size(start);
  if (first == 0 && !ParseFrame(SourceU32be(source, 0))) return ContentExtent::NotThisKind("no ID3 tag or frame header");
  const std::optional<FrameHeader> head = ParseFrame(SourceU32be(source, first));
  if (!head) return ContentExtent::NotThisKind("no frame after the ID3 tag");
  std::uint64_t at = first;
  std::uint64_t frames = 0;
  bool cut = false;  // a frame begins that the bytes at hand do not hold
  std::vector<FileSpan> damaged;
  while (frames < kMaxFrames) {
    if (frames % 65536 == 0 && budget.Stopped()) return ContentExtent::Unjudged(0, "stopped");
    if (!SourceFits(source, at, 4)) {
      cut = at < source.Size();
      break;
    }
    const std::optional<FrameHeader> frame = ParseFrame(SourceU32be(source, at));
    if (!frame || frame->key != head->key) {
      // A stretch of other bytes, and the stream going on after it: a
      // song with a cluster written over, kept with that stretch listed.
      const std::optional<std::uint64_t> resumed =
          frames >= kMinMp3Frames && damaged.size() < kMaxDamagedStretches ? Resync(source, at, head->key) : std::nullopt;
      if (!resumed) break;
      damaged.push_back({at, *resumed});
      at = *resumed;
      continue;
    }
    if (!SourceFits(source, at, frame->length)) {
      cut = true;
      break;
    }
    at += frame->length;
    ++frames;
  }
  if (frames < kMinMp3Frames) {
    return cut || at >= source.Size() ? ContentExtent::CutShort(0, "too few frames before the bytes end")
                                      : ContentExtent::NotThisKind("too few frames to be a stream");
  }
  if (cut) return ContentExtent::CutShort(damaged.empty() ? at : damaged.front().start, "a frame runs past the bytes at hand");
  const std::uint64_t stated = StatedBytes(source, first, *head);
  if (stated > at - first && stated < (std::uint64_t{1} << 32)) {
    return ContentExtent::CutShort(at, "fewer frames than its header counts");
  }
  // Tags that follow the frames are part of the file.
  if (SourceHasText(source, at, "APETAGEX")) at += 32 + std::uint64_t{SourceU32le(source, at + 12)};
  if (SourceHasText(source, at, "TAG") && SourceFits(source, at, 128)) at += 128;
  at = std::min(at, source.Size());
  if (!damaged.empty()) return ContentExtent::DamagedIn(at, std::move(damaged), "stretches that are no frames");
  return ContentExtent::Unchecked(at);
}

}  // namespace salvex
