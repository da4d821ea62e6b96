#include "content/jpeg_check.h"

#include <algorithm>
#include <optional>

namespace salvex {
namespace {

constexpr std::uint8_t kStartOfImage = 0xD8;
constexpr std::uint8_t kEndOfImage = 0xD9;
constexpr std::uint8_t kStartOfScan = 0xDA;
constexpr std::uint8_t kHuffmanTables = 0xC4;
constexpr std::uint8_t kQuantizationTables = 0xDB;
constexpr std::uint8_t kRestartInterval = 0xDD;
constexpr std::uint8_t kFirstRestart = 0xD0;
constexpr int kTables = 4;
constexpr int kMaxComponents = 4;
// Pictures appended after the end-of-image marker that are taken as part
// of the file; multi-picture files hold two or three.
constexpr int kMaxAppendedPictures = 8;

bool IsRestart(std::uint8_t marker) { return marker >= kFirstRestart && marker <= 0xD7; }
// Markers that stand alone, without a length: TEM, RST0-7, SOI, EOI.
bool IsStandalone(std::uint8_t marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9); }
// 0x02-0xBF are reserved: no writer puts them in a file.
bool IsReserved(std::uint8_t marker) { return marker >= 0x02 && marker <= 0xBF; }
bool IsStartOfFrame(std::uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != kHuffmanTables && marker != 0xC8 && marker != 0xCC;
}
// Baseline and extended sequential frames with Huffman coding: the ones decoded.
bool IsSequentialHuffman(std::uint8_t marker) { return marker == 0xC0 || marker == 0xC1; }

struct Component {
  std::uint8_t id = 0;
  int horizontal = 1;
  int vertical = 1;
  int quantTable = 0;
};

// What the markers before a scan have said.
struct DecoderState {
  std::array<HuffmanTable, kTables> dc{};
  std::array<HuffmanTable, kTables> ac{};
  std::array<int, kTables> dcQuant{};  // each table's DC step, 0 until defined
  std::uint16_t restartInterval = 0;
  bool frameSeen = false;
  bool scanSeen = false;
  bool decodable = false;  // a sequential Huffman frame of known height
  int precision = 8;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int components = 0;
  std::array<Component, kMaxComponents> component{};
  int maxHorizontal = 1;
  int maxVertical = 1;
};

bool ReadHuffmanTables(Bytes segment, DecoderState& state) {
  std::size_t at = 0;
  while (at < segment.size()) {
    const std::uint8_t classAndId = segment[at];
    const int tableClass = classAndId >> 4;
    const int id = classAndId & 0x0F;
    if (tableClass > 1 || id >= kTables || !Fits(segment, at + 1, 16)) return false;
    const Bytes counts = segment.subspan(at + 1, 16);
    std::size_t total = 0;
    for (const std::uint8_t n : counts) total += n;
    if (total > 256 || !Fits(segment, at + 17, total)) return false;
    HuffmanTable& table = tableClass == 0 ? state.dc[static_cast<std::size_t>(id)] : state.ac[static_cast<std::size_t>(id)];
    if (!BuildHuffmanTable(counts, segment.subspan(at + 17, total), table)) return false;
    at += 17 + total;
  }
  return true;
}

bool ReadQuantizationTables(Bytes segment, DecoderState& state) {
  std::size_t at = 0;
  while (at < segment.size()) {
    const int precision = segment[at] >> 4;
    const int id = segment[at] & 0x0F;
    const std::size_t entry = precision == 0 ? 1 : 2;
    if (precision > 1 || id >= kTables || !Fits(segment, at + 1, 64 * entry)) return false;
    // The first entry, in zig-zag order, is the DC coefficient's step.
    state.dcQuant[static_cast<std::size_t>(id)] = entry == 1 ? segment[at + 1] : u16be(segment, at + 1);
    at += 1 + 64 * entry;
  }
  return true;
}

bool ReadFrame(std::uint8_t marker, Bytes segment, DecoderState& state) {
  state.frameSeen = true;
  state.decodable = false;
  if (segment.size() < 6) return false;
  state.precision = segment[0];
  state.height = u16be(segment, 1);
  state.width = u16be(segment, 3);
  const int count = segment[5];
  if (count == 0 || segment.size() != 6 + 3 * std::size_t(count) || state.width == 0) return false;
  // Frames this check does not decode keep only the byte-level check.
  if (!IsSequentialHuffman(marker) || count > kMaxComponents || state.height == 0 ||
      (state.precision != 8 && state.precision != 12)) {
    return true;
  }
  state.components = count;
  state.maxHorizontal = 1;
  state.maxVertical = 1;
  for (int i = 0; i < count; ++i) {
    Component& c = state.component[static_cast<std::size_t>(i)];
    const std::size_t at = 6 + 3 * static_cast<std::size_t>(i);
    c.id = segment[at];
    c.horizontal = segment[at + 1] >> 4;
    c.vertical = segment[at + 1] & 0x0F;
    c.quantTable = segment[at + 2];
    if (c.horizontal < 1 || c.horizontal > 4 || c.vertical < 1 || c.vertical > 4 || c.quantTable >= kTables) {
      return false;
    }
    state.maxHorizontal = std::max(state.maxHorizontal, c.horizontal);
    state.maxVertical = std::max(state.maxVertical, c.vertical);
  }
  state.decodable = true;
  return true;
}

struct ScanComponent {
  const Component* frame = nullptr;
  const HuffmanTable* dc = nullptr;
  const HuffmanTable* ac = nullptr;
  std::int32_t dcLimit = 0;  // the largest DC value an 8×8 block of samples gives, with room to spare
};

std::uint64_t CeilDiv(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

struct ScanResult {
  bool ok = false;
  bool ranOut = false;         // the source ended inside the coded data
  std::uint64_t next = 0;      // ok: the marker after the scan
  std::uint64_t goodUpTo = 0;  // failed: where the unit that failed began
  std::uint64_t failedAt = 0;  // failed: the byte being read
};

// Keeps the resume points of a scan: the last unit start before each
// multiple of `every` bytes that the coded data crosses.
class ResumeRecorder {
 public:
  ResumeRecorder(const JpegWalkOptions& options, JpegWalk& walk) : options_(options), walk_(walk) {}

  void UnitStarts(const JpegResumePoint& point) {
    const std::uint64_t every = options_.resumeEvery;
    if (every == 0) return;
    if (haveLast_ && point.at.byte / every > last_.at.byte / every) {
      last_.boundary = point.at.byte / every * every;
      walk_.resumePoints.push_back(last_);
      if (walk_.resumePoints.size() > options_.keepResumePoints) walk_.resumePoints.erase(walk_.resumePoints.begin());
    }
    last_ = point;
    haveLast_ = true;
  }

  // The scan stopped inside the unit last begun (its bytes ran out, or
  // failed): that unit is the last to begin before the next boundary.
  void Stopped() {
    const std::uint64_t every = options_.resumeEvery;
    if (every == 0 || !haveLast_) return;
    last_.boundary = (last_.at.byte / every + 1) * every;
    walk_.resumePoints.push_back(last_);
    if (walk_.resumePoints.size() > options_.keepResumePoints) walk_.resumePoints.erase(walk_.resumePoints.begin());
  }

 private:
  const JpegWalkOptions& options_;
  JpegWalk& walk_;
  JpegResumePoint last_;
  bool haveLast_ = false;
};

// Decodes the scan whose SOS marker is at `marker`, whose header is
// `header` and whose data starts at `at`.
ScanResult DecodeScan(ContentSource& source, std::uint64_t marker, std::uint64_t at, Bytes header,
                      DecoderState& state, const JpegWalkOptions& options, JpegWalk& walk) {
  ScanResult result;
  result.goodUpTo = at;
  result.failedAt = at;
  if (header.empty()) return result;
  const int count = header[0];
  if (count < 1 || count > state.components || header.size() != 4 + 2 * std::size_t(count)) return result;
  std::array<ScanComponent, kMaxComponents> scan{};
  for (int i = 0; i < count; ++i) {
    const std::uint8_t id = header[1 + 2 * static_cast<std::size_t>(i)];
    const std::uint8_t tables = header[2 + 2 * static_cast<std::size_t>(i)];
    const Component* frame = nullptr;
    for (int c = 0; c < state.components; ++c) {
      if (state.component[static_cast<std::size_t>(c)].id == id) frame = &state.component[static_cast<std::size_t>(c)];
    }
    const auto dc = static_cast<std::size_t>(tables >> 4);
    const auto ac = static_cast<std::size_t>(tables & 0x0F);
    if (!frame || dc >= kTables || ac >= kTables || !state.dc[dc].defined || !state.ac[ac].defined) return result;
    ScanComponent& s = scan[static_cast<std::size_t>(i)];
    s.frame = frame;
    s.dc = &state.dc[dc];
    s.ac = &state.ac[ac];
    // A block's DC coefficient is the mean of its samples times 8: at most
    // 1024 (8-bit) in size before quantization. Twice that leaves room for
    // any encoder's rounding.
    const std::int32_t step = std::max(1, state.dcQuant[static_cast<std::size_t>(frame->quantTable)]);
    s.dcLimit = (std::int32_t{2048} << (state.precision - 8)) / step + 1;
  }
  // An interleaved scan's unit is one MCU of every component's blocks; a
  // single component's is one block of it.
  std::uint64_t units = 0;
  if (count == 1) {
    const Component& c = *scan[0].frame;
    const std::uint64_t columns = CeilDiv(CeilDiv(std::uint64_t{state.width} * c.horizontal, state.maxHorizontal), 8);
    const std::uint64_t rows = CeilDiv(CeilDiv(std::uint64_t{state.height} * c.vertical, state.maxVertical), 8);
    units = columns * rows;
  } else {
    units = CeilDiv(state.width, 8 * std::uint64_t(state.maxHorizontal)) *
            CeilDiv(state.height, 8 * std::uint64_t(state.maxVertical));
  }
  const JpegResumePoint* resume =
      options.resumeFrom && options.resumeFrom->scanMarker == marker ? options.resumeFrom : nullptr;
  EntropyReader bits(source, resume ? resume->at : EntropyPosition{at, 0});
  std::uint64_t first = 0;
  int nextRestart = 0;
  std::array<std::int32_t, kMaxComponents> predictors{};
  if (resume) {
    if (resume->unit >= units || resume->nextRestart < 0 || resume->nextRestart > 7) return result;
    first = resume->unit;
    nextRestart = resume->nextRestart;
    predictors = resume->predictors;
  }
  ResumeRecorder recorder(options, walk);
  for (std::uint64_t unit = first; unit < units; ++unit) {
    if (state.restartInterval > 0 && unit > first && unit % state.restartInterval == 0) {
      bits.Align();
      const std::uint64_t restart = bits.NextByte();
      if (!bits.Drained() || SourceU8(source, restart) != 0xFF ||
          SourceU8(source, restart + 1) != kFirstRestart + nextRestart) {
        result.goodUpTo = result.failedAt = restart;
        result.ranOut = !SourceFits(source, restart, 2);
        return result;
      }
      nextRestart = (nextRestart + 1) % 8;
      bits.SkipMarker(restart);
      predictors.fill(0);
    }
    const EntropyPosition start = bits.Position();
    recorder.UnitStarts({marker, start, unit, nextRestart, predictors, 0});
    for (int i = 0; i < count; ++i) {
      const ScanComponent& component = scan[static_cast<std::size_t>(i)];
      const int blocks = count == 1 ? 1 : component.frame->horizontal * component.frame->vertical;
      for (int block = 0; block < blocks; ++block) {
        if (!bits.SkipBlock(*component.dc, *component.ac, predictors[static_cast<std::size_t>(i)], component.dcLimit,
                            state.precision)) {
          recorder.Stopped();
          result.goodUpTo = start.byte;
          result.failedAt = bits.NextByte();
          result.ranOut = bits.AtEnd();
          return result;
        }
      }
    }
  }
  // The last unit ends where the next marker begins: only its byte's
  // padding lies between them.
  bits.Align();
  std::uint64_t end = bits.NextByte();
  if (!bits.Drained() || SourceU8(source, end) != 0xFF || SourceU8(source, end + 1) == 0x00) {
    result.goodUpTo = result.failedAt = end;
    result.ranOut = !SourceFits(source, end, 2);
    return result;
  }
  // Some writers close the last interval with its restart marker too.
  if (SourceU8(source, end + 1) == kFirstRestart + nextRestart) end += 2;
  result.ok = true;
  result.next = end;
  return result;
}

// The scan data's end checked byte by byte: the position of the marker
// that ends it, or nullopt when a 0xFF is followed by what may not follow
// it there. The source's size when it ends first.
std::optional<std::uint64_t> SkipScan(ContentSource& source, std::uint64_t at) {
  int nextRestart = 0;
  while (at + 1 < source.Size()) {
    const Bytes window = source.Read(at, 64 * 1024);
    std::size_t i = 0;
    for (; i + 1 < window.size(); ++i) {
      if (window[i] != 0xFF) continue;
      const std::uint8_t next = window[i + 1];
      if (next == 0x00) {
        ++i;
      } else if (IsRestart(next)) {
        if (next != kFirstRestart + nextRestart) return std::nullopt;
        nextRestart = (nextRestart + 1) % 8;
        ++i;
      } else if (next != 0xFF) {  // 0xFF 0xFF: fill before a marker
        return at + i;
      }
    }
    at += std::max<std::size_t>(i, 1);
  }
  return source.Size();
}

// The walk of one picture from its SOI marker.
JpegWalk WalkPicture(ContentSource& source, const JpegWalkOptions& options) {
  JpegWalk walk;
  if (SourceU8(source, 0) != 0xFF || SourceU8(source, 1) != kStartOfImage) {
    walk.extent = ContentExtent::NotThisKind("no start-of-image marker");
    return walk;
  }
  DecoderState state;
  std::uint64_t at = 2;
  std::uint64_t sound = 0;  // the end of the last scan that held together
  const auto damaged = [&](const char* why) {
    walk.extent = ContentExtent::Damaged(sound, why);
    return walk;
  };
  std::vector<std::uint8_t> header;
  while (true) {
    if (!SourceFits(source, at, 2)) {
      walk.extent = ContentExtent::CutShort(sound, "ends before its end-of-image marker");
      return walk;
    }
    if (SourceU8(source, at) != 0xFF) return damaged("a marker was expected");
    const std::uint8_t marker = SourceU8(source, at + 1);
    if (marker == 0xFF) {  // fill bytes before a marker
      ++at;
      continue;
    }
    if (marker == kEndOfImage) {
      if (!state.frameSeen || !state.scanSeen) return damaged("no picture before its end-of-image marker");
      walk.extent = ContentExtent::Whole(at + 2);
      return walk;
    }
    if (marker == 0x00 || marker == kStartOfImage || IsReserved(marker)) return damaged("a marker no writer puts there");
    if (IsStandalone(marker)) {
      at += 2;
      continue;
    }
    const std::uint16_t length = SourceU16be(source, at + 2);
    if (length < 2) return damaged("a segment shorter than its length field");
    if (!SourceFits(source, at + 2, length)) {
      walk.extent = ContentExtent::CutShort(sound, "ends inside a segment");
      return walk;
    }
    const Bytes segment = source.Read(at + 4, length - 2u);
    const std::uint64_t after = at + 2 + length;
    if (marker == kHuffmanTables && !ReadHuffmanTables(segment, state)) return damaged("a Huffman table no coder can use");
    if (marker == kQuantizationTables && !ReadQuantizationTables(segment, state)) {
      return damaged("a quantization table out of its bounds");
    }
    if (marker == kRestartInterval) {
      if (segment.size() != 2) return damaged("a restart interval of the wrong length");
      state.restartInterval = u16be(segment, 0);
    }
    if (IsStartOfFrame(marker) && !ReadFrame(marker, segment, state)) return damaged("a frame header out of its bounds");
    if (marker == kStartOfScan) {
      if (!state.frameSeen) return damaged("a scan before any frame");
      state.scanSeen = true;
      if (!state.decodable) {
        const std::optional<std::uint64_t> next = SkipScan(source, after);
        if (!next) return damaged("a marker out of turn in the coded data");
        at = *next;
        sound = at;
        continue;
      }
      if (!walk.decoded) walk.scanData = after;
      walk.decoded = true;
      header.assign(segment.begin(), segment.end());
      const ScanResult scan = DecodeScan(source, at, after, header, state, options, walk);
      if (!scan.ok) {
        sound = std::max(sound, scan.goodUpTo);
        walk.failedAt = scan.failedAt;
        if (scan.ranOut) {
          walk.extent = ContentExtent::CutShort(sound, "ends inside its coded data");
          return walk;
        }
        return damaged("its coded data does not decode");
      }
      at = scan.next;
      sound = at;
      continue;
    }
    at = after;
  }
}

}  // namespace

JpegWalk WalkJpeg(ContentSource& source, const JpegWalkOptions& options) {
  JpegWalk walk = WalkPicture(source, options);
  if (!options.followAppended || walk.extent.soundness != Soundness::whole) return walk;
  // Later pictures are checked as a whole and never resumed.
  JpegWalkOptions plain;
  for (int picture = 0; picture < kMaxAppendedPictures; ++picture) {
    const std::uint64_t end = walk.extent.end;
    if (SourceU8(source, end) != 0xFF || SourceU8(source, end + 1) != kStartOfImage || SourceU8(source, end + 2) != 0xFF) {
      break;
    }
    SliceSource rest(source, end, source.Size() - end);
    const JpegWalk next = WalkPicture(rest, plain);
    if (next.extent.soundness != Soundness::whole) break;
    walk.extent.end = end + next.extent.end;
    walk.extent.soundUpTo = walk.extent.end;
  }
  return walk;
}

bool JpegIsWhole(Bytes bytes) {
  SpanSource source(bytes);
  return WalkJpeg(source).extent.soundness == Soundness::whole;
}

}  // namespace salvex
