#include "content/jpeg_check.h"

#include <algorithm>
#include <array>
#include <cstdint>
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

std::uint16_t u16be(Bytes bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(u8(bytes, offset) << 8 | u8(bytes, offset + 1));
}

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

// A canonical Huffman code as the file defines it: for each code length,
// the codes of that length run from minCode to maxCode, and their symbols
// from firstIndex on.
struct HuffmanTable {
  bool defined = false;
  std::array<std::int32_t, 17> minCode{};
  std::array<std::int32_t, 17> maxCode{};  // -1: no code of that length
  std::array<std::int32_t, 17> firstIndex{};
  std::array<std::uint8_t, 256> symbols{};
  int count = 0;
};

// Builds a table from its 16 counts and its symbols. False when the counts
// ask for more codes than the lengths hold (no code may be all ones).
bool BuildTable(Bytes counts, Bytes symbols, HuffmanTable& table) {
  table = HuffmanTable{};
  std::int32_t code = 0;
  int index = 0;
  for (int length = 1; length <= 16; ++length) {
    const int n = counts[static_cast<std::size_t>(length - 1)];
    table.maxCode[length] = -1;
    if (n > 0) {
      table.minCode[length] = code;
      table.firstIndex[length] = index;
      code += n;
      index += n;
      if (code >= (std::int32_t{1} << length)) return false;
      table.maxCode[length] = code - 1;
    }
    code <<= 1;
  }
  std::copy(symbols.begin(), symbols.end(), table.symbols.begin());
  table.count = index;
  table.defined = true;
  return true;
}

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
    HuffmanTable& table = tableClass == 0 ? state.dc[id] : state.ac[id];
    if (!BuildTable(counts, segment.subspan(at + 17, total), table)) return false;
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
    state.dcQuant[id] = entry == 1 ? segment[at + 1] : u16be(segment, at + 1);
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

// Entropy-coded bits, most significant first, with the stuffed zero after
// each 0xFF data byte dropped. A marker (or the end) ends the bits.
class BitReader {
 public:
  BitReader(Bytes bytes, std::size_t at) : bytes_(bytes), at_(at) {}

  // The next bit; -1 when a marker or the end comes first.
  int Bit() {
    if (left_ == 0) {
      if (at_ >= bytes_.size()) return -1;
      const std::uint8_t byte = bytes_[at_];
      if (byte == 0xFF) {
        if (u8(bytes_, at_ + 1) != 0x00) return -1;
        at_ += 2;
      } else {
        ++at_;
      }
      current_ = byte;
      left_ = 8;
    }
    --left_;
    return (current_ >> left_) & 1;
  }

  // `count` bits as a number; -1 when they run out.
  std::int32_t Bits(int count) {
    std::int32_t value = 0;
    for (int i = 0; i < count; ++i) {
      const int bit = Bit();
      if (bit < 0) return -1;
      value = value << 1 | bit;
    }
    return value;
  }

  // Drops what is left of the current byte (padding before a marker).
  void Align() { left_ = 0; }
  std::size_t Position() const { return at_; }
  void MoveTo(std::size_t at) {
    at_ = at;
    left_ = 0;
  }

 private:
  Bytes bytes_;
  std::size_t at_;
  std::uint8_t current_ = 0;
  int left_ = 0;
};

// A symbol of `table`; -1 when the bits run out or match none of its codes.
int DecodeSymbol(BitReader& bits, const HuffmanTable& table) {
  std::int32_t code = 0;
  for (int length = 1; length <= 16; ++length) {
    const int bit = bits.Bit();
    if (bit < 0) return -1;
    code = code << 1 | bit;
    if (table.maxCode[length] >= 0 && code <= table.maxCode[length]) {
      const std::int32_t index = table.firstIndex[length] + code - table.minCode[length];
      if (index < 0 || index >= table.count) return -1;
      return table.symbols[static_cast<std::size_t>(index)];
    }
  }
  return -1;
}

std::int32_t Extend(std::int32_t value, int size) {
  return value < (std::int32_t{1} << (size - 1)) ? value - (std::int32_t{1} << size) + 1 : value;
}

struct ScanComponent {
  const Component* frame = nullptr;
  const HuffmanTable* dc = nullptr;
  const HuffmanTable* ac = nullptr;
  std::int32_t dcLimit = 0;  // the largest DC value an 8×8 block of samples gives, with room to spare
  std::int32_t predictor = 0;
};

// One 8×8 block's coefficients; false when they cannot be a block an
// encoder wrote.
bool DecodeBlock(BitReader& bits, ScanComponent& component, int precision) {
  const int maxDcSize = precision + 3;
  const int maxAcSize = precision + 2;
  const int dcSize = DecodeSymbol(bits, *component.dc);
  if (dcSize < 0 || dcSize > maxDcSize) return false;
  if (dcSize > 0) {
    const std::int32_t raw = bits.Bits(dcSize);
    if (raw < 0) return false;
    component.predictor += Extend(raw, dcSize);
  }
  if (component.predictor > component.dcLimit || component.predictor < -component.dcLimit) return false;
  for (int k = 1; k < 64;) {
    const int symbol = DecodeSymbol(bits, *component.ac);
    if (symbol < 0) return false;
    const int run = symbol >> 4;
    const int size = symbol & 0x0F;
    if (size == 0) {
      if (run == 0) break;           // end of block
      if (run != 15) return false;   // no such symbol
      k += 16;                       // sixteen zeros
      if (k > 64) return false;
      continue;
    }
    k += run;
    if (k > 63 || size > maxAcSize || bits.Bits(size) < 0) return false;
    ++k;
  }
  return true;
}

std::uint64_t CeilDiv(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

// Decodes the scan whose header is `header` and whose data starts at `at`.
// The position of the marker after it, or nullopt when the data is not
// what the tables and the frame say.
std::optional<std::size_t> DecodeScan(Bytes bytes, std::size_t at, Bytes header, DecoderState& state) {
  if (header.empty()) return std::nullopt;
  const int count = header[0];
  if (count < 1 || count > state.components || header.size() != 4 + 2 * std::size_t(count)) return std::nullopt;
  std::array<ScanComponent, kMaxComponents> scan{};
  for (int i = 0; i < count; ++i) {
    const std::uint8_t id = header[1 + 2 * static_cast<std::size_t>(i)];
    const std::uint8_t tables = header[2 + 2 * static_cast<std::size_t>(i)];
    const Component* frame = nullptr;
    for (int c = 0; c < state.components; ++c) {
      if (state.component[static_cast<std::size_t>(c)].id == id) frame = &state.component[static_cast<std::size_t>(c)];
    }
    const int dc = tables >> 4;
    const int ac = tables & 0x0F;
    if (!frame || dc >= kTables || ac >= kTables || !state.dc[dc].defined || !state.ac[ac].defined) {
      return std::nullopt;
    }
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
  BitReader bits(bytes, at);
  int nextRestart = 0;
  for (std::uint64_t unit = 0; unit < units; ++unit) {
    if (state.restartInterval > 0 && unit > 0 && unit % state.restartInterval == 0) {
      bits.Align();
      const std::size_t marker = bits.Position();
      if (u8(bytes, marker) != 0xFF || u8(bytes, marker + 1) != kFirstRestart + nextRestart) return std::nullopt;
      nextRestart = (nextRestart + 1) % 8;
      bits.MoveTo(marker + 2);
      for (int i = 0; i < count; ++i) scan[static_cast<std::size_t>(i)].predictor = 0;
    }
    for (int i = 0; i < count; ++i) {
      ScanComponent& component = scan[static_cast<std::size_t>(i)];
      const int blocks = count == 1 ? 1 : component.frame->horizontal * component.frame->vertical;
      for (int block = 0; block < blocks; ++block) {
        if (!DecodeBlock(bits, component, state.precision)) return std::nullopt;
      }
    }
  }
  // The last unit ends where the next marker begins: only its byte's
  // padding lies between them.
  bits.Align();
  std::size_t end = bits.Position();
  if (u8(bytes, end) != 0xFF || u8(bytes, end + 1) == 0x00) return std::nullopt;
  // Some writers close the last interval with its restart marker too.
  if (u8(bytes, end + 1) == kFirstRestart + nextRestart) end += 2;
  return end;
}

// The scan data's end checked byte by byte: the position of the marker
// that ends it, or nullopt when a 0xFF is followed by what may not follow
// it there.
std::optional<std::size_t> SkipScan(Bytes bytes, std::size_t at) {
  int nextRestart = 0;
  while (at + 1 < bytes.size()) {
    if (bytes[at] != 0xFF) {
      ++at;
      continue;
    }
    const std::uint8_t next = bytes[at + 1];
    if (next == 0x00) {
      at += 2;
    } else if (IsRestart(next)) {
      if (next != kFirstRestart + nextRestart) return std::nullopt;
      nextRestart = (nextRestart + 1) % 8;
      at += 2;
    } else if (next == 0xFF) {
      ++at;  // fill before a marker
    } else {
      return at;
    }
  }
  return bytes.size();
}

}  // namespace

bool JpegIsWhole(Bytes bytes) {
  if (u8(bytes, 0) != 0xFF || u8(bytes, 1) != kStartOfImage) return false;
  DecoderState state;
  std::size_t at = 2;
  while (at + 1 < bytes.size()) {
    if (bytes[at] != 0xFF) return false;
    const std::uint8_t marker = bytes[at + 1];
    if (marker == 0xFF) {  // fill bytes before a marker
      ++at;
      continue;
    }
    if (marker == kEndOfImage) return true;
    if (marker == 0x00 || marker == kStartOfImage || IsReserved(marker)) return false;
    if (IsStandalone(marker)) {
      at += 2;
      continue;
    }
    const std::uint16_t length = u16be(bytes, at + 2);
    if (length < 2 || !Fits(bytes, at + 2, length)) return false;
    const Bytes segment = bytes.subspan(at + 4, length - 2u);
    const std::size_t after = at + 2 + length;
    if (marker == kHuffmanTables && !ReadHuffmanTables(segment, state)) return false;
    if (marker == kQuantizationTables && !ReadQuantizationTables(segment, state)) return false;
    if (marker == kRestartInterval) {
      if (segment.size() != 2) return false;
      state.restartInterval = u16be(segment, 0);
    }
    if (IsStartOfFrame(marker) && !ReadFrame(marker, segment, state)) return false;
    if (marker == kStartOfScan) {
      if (!state.frameSeen) return false;
      const std::optional<std::size_t> next = state.decodable ? DecodeScan(bytes, after, segment, state)
                                                              : SkipScan(bytes, after);
      if (!next) return false;
      at = *next;
      continue;
    }
    at = after;
  }
  return false;
}

}  // namespace salvex
