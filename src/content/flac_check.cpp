#include "content/flac_check.h"

#include <array>
#include <algorithm>
#include <optional>
#include <vector>

namespace salvex {
namespace {

constexpr std::uint64_t kMaxFrames = 50'000'000;
// No frame is longer than this (the format's own limit is 16 MiB).
constexpr std::uint64_t kMaxFrameBytes = std::uint64_t{16} << 20;
// Stretches written over a stream may hold before it is taken for ending.
constexpr std::size_t kMaxDamagedStretches = 64;

constexpr std::array<std::uint8_t, 256> MakeCrc8() {
  std::array<std::uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    auto crc = static_cast<std::uint8_t>(i);
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<std::uint8_t>(crc & 0x80 ? (crc << 1) ^ 0x07 : crc << 1);
    table[static_cast<std::size_t>(i)] = crc;
  }
  return table;
}

constexpr std::array<std::uint16_t, 256> MakeCrc16() {
  std::array<std::uint16_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    auto crc = static_cast<std::uint16_t>(i << 8);
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x8005 : crc << 1);
    table[static_cast<std::size_t>(i)] = crc;
  }
  return table;
}

constexpr std::array<std::uint8_t, 256> kCrc8 = MakeCrc8();
constexpr std::array<std::uint16_t, 256> kCrc16 = MakeCrc16();

std::uint16_t Crc16(std::uint16_t crc, std::uint8_t byte) {
  return static_cast<std::uint16_t>((crc << 8) ^ kCrc16[((crc >> 8) ^ byte) & 0xFF]);
}

// A frame header at `at` whose fields are allowed and whose CRC-8 holds:
// its length and the samples it holds. Nothing otherwise.
struct FrameHeader {
  std::uint64_t length = 0;
  std::uint32_t samples = 0;
  bool variable = false;
  std::uint64_t firstSample = 0;  // the stream's sample the frame begins with
};

std::optional<FrameHeader> ReadFrameHeader(ContentSource& source, std::uint64_t at, std::uint32_t streamBlock) {
  const Bytes bytes = source.Read(at, 16);
  if (bytes.size() < 6 || bytes[0] != 0xFF || (bytes[1] & 0xFE) != 0xF8) return std::nullopt;
  FrameHeader header;
  header.variable = bytes[1] & 1;
  const int blockCode = bytes[2] >> 4;
  const int rateCode = bytes[2] & 0x0F;
  const int channels = bytes[3] >> 4;
  const int sampleBits = (bytes[3] >> 1) & 7;
  if (blockCode == 0 || rateCode == 15 || channels > 10 || sampleBits == 3 || sampleBits == 7 || (bytes[3] & 1)) {
    return std::nullopt;
  }
  // The frame or sample number, UTF-8 style: one to seven bytes.
  std::size_t at8 = 4;
  const std::uint8_t lead = bytes[at8];
  int extra = 0;
  if (lead < 0x80) extra = 0;
  else if ((lead & 0xE0) == 0xC0) extra = 1;
  else if ((lead & 0xF0) == 0xE0) extra = 2;
  else if ((lead & 0xF8) == 0xF0) extra = 3;
  else if ((lead & 0xFC) == 0xF8) extra = 4;
  else if ((lead & 0xFE) == 0xFC) extra = 5;
  else if (lead == 0xFE) extra = 6;
  else return std::nullopt;
  // The lead byte keeps 7 bits, or fewer by one for each byte that follows.
  std::uint64_t number = extra == 0 ? lead : lead & (0x3Fu >> extra);
  for (int i = 1; i <= extra; ++i) {
    const std::uint8_t next = u8(bytes, at8 + static_cast<std::size_t>(i));
    if ((next & 0xC0) != 0x80) return std::nullopt;
    number = number << 6 | (next & 0x3F);
  }
  at8 += 1 + static_cast<std::size_t>(extra);
  if (blockCode == 1) header.samples = 192;
  else if (blockCode <= 5) header.samples = 576u << (blockCode - 2);
  else if (blockCode == 6) header.samples = u8(bytes, at8++) + 1u;
  else if (blockCode == 7) { header.samples = u16be(bytes, at8) + 1u; at8 += 2; }
  else header.samples = 256u << (blockCode - 8);
  if (rateCode == 12) at8 += 1;
  else if (rateCode == 13 || rateCode == 14) at8 += 2;
  if (at8 >= bytes.size()) return std::nullopt;
  std::uint8_t crc = 0;
  for (std::size_t i = 0; i < at8; ++i) crc = kCrc8[crc ^ bytes[i]];
  if (crc != bytes[at8]) return std::nullopt;
  // A fixed-blocksize stream's frames hold its block size, but the last.
  if (streamBlock != 0 && !header.variable && header.samples > streamBlock) return std::nullopt;
  header.length = at8 + 1;
  // A fixed-blocksize stream numbers its frames, a variable one its samples.
  header.firstSample = header.variable ? number : number * (streamBlock != 0 ? streamBlock : header.samples);
  return header;
}

struct FrameEndHint {
  bool last = false;            // the stream's last frame: no header follows it
  std::uint64_t expected = 0;   // its length by the frames before (0: unknown)
  bool totalKnown = true;       // STREAMINFO counts the samples
  std::uint64_t limit = kMaxFrameBytes;  // how far from its start a frame may end
};

// Where the frame at `at` ends: the first place past its header where the
// CRC-16 of its bytes (with the two CRC bytes) is 0 and the next frame's
// header begins; for the last frame, the first such place at least half
// as far as the frames before say it goes. Where no header ever follows,
// the first place the CRC holds.
std::optional<std::uint64_t> FrameEnd(ContentSource& source, std::uint64_t at, const FrameHeader& header,
                                      std::uint32_t maxBlock, FrameEndHint hint) {
  const std::uint64_t limit = std::min(source.Size(), at + hint.limit);
  std::optional<std::uint64_t> firstHolding;
  std::uint16_t crc = 0;
  std::vector<std::uint8_t> window;  // a copy: looking for the next header reads the source too
  for (std::uint64_t scanned = at; scanned < limit;) {
    const Bytes read = source.Read(scanned, static_cast<std::size_t>(std::min<std::uint64_t>(65536, limit - scanned)));
    window.assign(read.begin(), read.end());
    if (window.empty()) break;
    for (std::size_t i = 0; i < window.size(); ++i) {
      const std::uint64_t position = scanned + i;
      if (crc == 0 && position >= at + header.length + 2) {
        if (!firstHolding) firstHolding = position;
        if (hint.last ? position - at >= hint.expected / 2
                      : window[i] == 0xFF && ReadFrameHeader(source, position, maxBlock)) {
          return position;
        }
      }
      crc = Crc16(crc, window[i]);
    }
    scanned += window.size();
  }
  // The CRC may hold just where the bytes end.
  const bool holdsAtLimit = crc == 0 && limit >= at + header.length + 2;
  if (hint.last && holdsAtLimit) return limit;
  if (!hint.totalKnown && firstHolding) return firstHolding;
  if (!hint.totalKnown && holdsAtLimit) return limit;
  return std::nullopt;
}

// Where the stream goes on after a frame that does not end: the first
// frame header within a few frames' length whose frame ends where another
// header begins.
std::optional<std::uint64_t> Resync(ContentSource& source, std::uint64_t from, std::uint32_t maxBlock,
                                    std::uint64_t frameLimit) {
  const std::uint64_t limit = std::min(source.Size(), from + 4 * frameLimit);
  for (std::uint64_t at = from; at + 16 <= limit; ++at) {
    const Bytes two = source.Read(at, 2);
    if (two.size() < 2 || two[0] != 0xFF || (two[1] & 0xFE) != 0xF8) continue;
    const std::optional<FrameHeader> header = ReadFrameHeader(source, at, maxBlock);
    if (!header) continue;
    FrameEndHint hint;
    hint.totalKnown = true;
    hint.limit = frameLimit;
    if (FrameEnd(source, at, *header, maxBlock, hint)) return at;
  }
  return std::nullopt;
}

}  // namespace

bool LooksLikeFlacStart(Bytes start) {
  return HasText(start, 0, "fLaC") && (u8(start, 4) & 0x7F) == 0 && (u32be(start, 4) & 0xFFFFFF) == 34;
}

ContentExtent WalkFlac(ContentSource& source, IntactCheckBudget& budget) {
  if (!LooksLikeFlacStart(source.Read(0, 8))) return ContentExtent::NotThisKind("no fLaC and STREAMINFO");
  const std::uint32_t maxBlock = SourceU16be(source, 10);
  const std::uint64_t totalSamples = (std::uint64_t{SourceU8(source, 21)} & 0x0F) << 32 | SourceU32be(source, 22);
  // The metadata blocks, to the one marked last.
  std::uint64_t at = 4;
  for (int block = 0;; ++block) {
    if (block > 4096 || !SourceFits(source, at, 4)) return ContentExtent::CutShort(0, "ends inside its metadata");
    const std::uint8_t type = SourceU8(source, at);
    const std::uint64_t length = SourceU32be(source, at) & 0xFFFFFF;
    if ((type & 0x7F) == 127) return ContentExtent::Damaged(0, "a metadata block of no type");
    if (!SourceFits(source, at, 4 + length)) return ContentExtent::CutShort(0, "ends inside its metadata");
    at += 4 + length;
    if (type & 0x80) break;
  }
  std::uint64_t samples = 0;
  std::uint64_t frames = 0;
  const std::uint64_t firstFrame = at;
  // STREAMINFO's largest frame, when it says, bounds where a frame's end is
  // looked for.
  const std::uint64_t maxFrame = std::uint64_t{SourceU16be(source, 15)} << 8 | SourceU8(source, 17);
  const std::uint64_t frameLimit = maxFrame != 0 ? maxFrame + 16 : kMaxFrameBytes;
  std::vector<FileSpan> damaged;
  while (frames < kMaxFrames && (totalSamples == 0 || samples < totalSamples)) {
    if (frames % 1024 == 0 && budget.Stopped()) return ContentExtent::Unjudged(0, "stopped");
    const std::optional<FrameHeader> header = ReadFrameHeader(source, at, maxBlock);
    if (!header) {
      // The frames end where nothing like one follows.
      if ((totalSamples == 0 || !damaged.empty()) && frames > 0) break;
      return SourceFits(source, at, 16) ? ContentExtent::Damaged(at, "a frame header that does not hold")
                                        : ContentExtent::CutShort(at, "ends before its last frame");
    }
    const std::optional<std::uint64_t> end = FrameEnd(source, at, *header, maxBlock, FrameEndHint{
        totalSamples != 0 && std::max(samples, header->firstSample) + header->samples >= totalSamples,
        samples > 0 ? (at - firstFrame) * header->samples / samples : 0, totalSamples != 0, frameLimit});
    if (!end) {
      // A frame written over: the stream may go on after it.
      if (damaged.size() < kMaxDamagedStretches) {
        if (const std::optional<std::uint64_t> resumed = Resync(source, at + 1, maxBlock, frameLimit)) {
          damaged.push_back({at, *resumed});
          at = *resumed;
          samples += header->samples;  // its header held: the samples it had are known
          if (const std::optional<FrameHeader> next = ReadFrameHeader(source, at, maxBlock)) {
            samples = std::max(samples, next->firstSample);  // and frames lost with it, by the next one's number
          }
          ++frames;
          continue;
        }
      }
      if (!damaged.empty()) break;
      return SourceFits(source, at, frameLimit) ? ContentExtent::Damaged(at, "a frame whose CRC-16 never holds")
                                                : ContentExtent::CutShort(at, "ends inside a frame");
    }
    at = *end;
    samples += header->samples;
    ++frames;
  }
  if (!damaged.empty()) return ContentExtent::DamagedIn(at, std::move(damaged), "frames whose CRC-16 never holds");
  return ContentExtent::Whole(at);
}

}  // namespace salvex
