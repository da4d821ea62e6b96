#pragma once

#include <array>
#include <cstdint>

#include "content/content_source.h"

namespace salvex {

// Codes up to this long are decoded with one table lookup; longer ones,
// rare in practice, code length by code length.
inline constexpr int kJpegFastBits = 9;

// A canonical Huffman code as a JPEG file defines it: for each code length
// the codes of that length run up to maxCode, and their symbols follow
// from valueOffset on.
struct HuffmanTable {
  bool defined = false;
  std::array<std::int32_t, 17> maxCode{};      // -1: no code of that length
  std::array<std::int32_t, 17> valueOffset{};  // a code's symbol index minus the code
  std::array<std::uint8_t, 256> symbols{};
  int count = 0;
  // For each kJpegFastBits-bit prefix: (code length << 8) | symbol of the
  // code it starts with, or 0 when that code is longer (or no code).
  std::array<std::uint16_t, 1 << kJpegFastBits> fast{};
};

// Builds a table from its 16 counts and its symbols. False when the counts
// ask for more codes than the lengths hold (no code may be all ones).
bool BuildHuffmanTable(Bytes counts, Bytes symbols, HuffmanTable& table);

// Where a bit of the entropy-coded data lies: the byte that holds it (a
// stuffed 0xFF counts as the byte, its 0x00 is skipped) and how many bits
// of that byte come before it.
struct EntropyPosition {
  std::uint64_t byte = 0;
  int bit = 0;
};

// Entropy-coded bits, most significant first, with the zero stuffed after
// each 0xFF data byte dropped. A marker, or the end of the source, ends
// the bits: a read that needs bits past it fails. Bytes are loaded ahead
// into a 64-bit buffer, so that most codes take one lookup.
class EntropyReader {
 public:
  EntropyReader(ContentSource& source, EntropyPosition from);

  // A symbol of `table`; -1 when the bits run out or match none of its codes.
  int Symbol(const HuffmanTable& table) {
    if (count_ < 16) Fill();
    const auto entry = table.fast[static_cast<std::size_t>(buffer_ >> (64 - kJpegFastBits))];
    if (entry != 0) {
      const int length = entry >> 8;
      if (length > count_) return -1;
      Consume(length);
      return entry & 0xFF;
    }
    return SlowSymbol(table);
  }
  // `count` (0 to 16) bits as a number; -1 when they run out.
  std::int32_t Bits(int count) {
    if (count <= 0) return 0;
    if (count_ < count) Fill();
    if (count > count_) return -1;
    const auto value = static_cast<std::int32_t>(buffer_ >> (64 - count));
    Consume(count);
    return value;
  }
  // Skips a symbol of `table` and the `symbol & 15` bits that follow it, as
  // an AC coefficient's size and value; the symbol, or -1 when the bits run
  // out or match no code. The value itself is never needed here.
  int SkipCoefficient(const HuffmanTable& table) {
    if (count_ < 32) Fill();
    const auto entry = table.fast[static_cast<std::size_t>(buffer_ >> (64 - kJpegFastBits))];
    if (entry == 0) {
      const int symbol = SlowSymbol(table);
      if (symbol < 0 || Bits(symbol & 0x0F) < 0) return -1;
      return symbol;
    }
    const int symbol = entry & 0xFF;
    const int length = (entry >> 8) + (symbol & 0x0F);
    if (length > count_) return -1;
    Consume(length);
    return symbol;
  }
  // One 8×8 block of a sequential scan: the DC difference (added to
  // `predictor`, which must stay within ±dcLimit) and the AC coefficients,
  // skipped; false when they cannot be a block an encoder wrote: a code
  // no table has, a size past what the precision allows, more than 64
  // coefficients, or bits that run out. The decoding runs on local copies
  // of the bit buffer: it is the loop nearly all of a check's time goes to.
  bool SkipBlock(const HuffmanTable& dc, const HuffmanTable& ac, std::int32_t& predictor, std::int32_t dcLimit,
                 int precision);
  // Drops what is left of the current byte (padding before a marker).
  void Align() { Consume(count_ % 8); }
  // After Align: no loaded byte is left unused, so the next byte of the
  // source is NextByte().
  bool Drained() const { return count_ == 0; }
  std::uint64_t NextByte() const { return next_; }
  // Goes on after a restart marker at `at` (two bytes).
  void SkipMarker(std::uint64_t at);
  // Where the next bit lies.
  EntropyPosition Position() const;
  // Whether loading stopped at the end of the source rather than at a marker.
  bool AtEnd() const { return stopped_ && atEnd_; }

 private:
  void Fill();
  int SlowSymbol(const HuffmanTable& table);
  void Push(std::uint8_t byte, std::uint64_t at);
  void Consume(int bits) {
    buffer_ = bits >= 64 ? 0 : buffer_ << bits;
    count_ -= bits;
  }
  bool LoadWindow();

  ContentSource& source_;
  std::uint64_t buffer_ = 0;  // left-aligned: the next bit is bit 63
  int count_ = 0;             // bits loaded and not yet used
  std::uint64_t next_ = 0;    // the next byte to load
  bool stopped_ = false;      // a marker or the end stops loading
  bool atEnd_ = false;
  Bytes window_;
  std::uint64_t windowAt_ = 0;
  // Where the last eight loaded bytes lay, to say where a bit is.
  std::array<std::uint64_t, 8> loadedAt_{};
  std::uint64_t loaded_ = 0;
};

}  // namespace salvex
