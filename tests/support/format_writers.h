#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace salvex::testing {

using FileBytes = std::vector<std::uint8_t>;

// Fields appended in either byte order, for files written here by their
// formats' rules.
struct ByteWriter {
  FileBytes bytes;

  ByteWriter& U8(std::uint8_t value) {
    bytes.push_back(value);
    return *this;
  }
  ByteWriter& Le(std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return *this;
  }
  ByteWriter& Be(std::uint64_t value, int count) {
    for (int i = count - 1; i >= 0; --i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return *this;
  }
  ByteWriter& Text(std::string_view text) {
    for (const char c : text) bytes.push_back(static_cast<std::uint8_t>(c));
    return *this;
  }
  ByteWriter& Append(const FileBytes& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return *this;
  }
  std::size_t Size() const { return bytes.size(); }
};

// Bytes that look like nothing in particular, the same for the same seed.
FileBytes Noise(std::size_t size, std::uint32_t seed);

// A GIF89a of `width` × `height` pixels in a 256-colour table, its LZW
// codes written plainly (a clear code often enough that the codes stay 9
// bits wide), as the simplest encoders write them.
FileBytes WriteGif(int width, int height, std::uint32_t seed);

// A PDF of `pages` pages with a cross-reference table that lists every
// object where it starts, its trailer and "%%EOF".
FileBytes WritePdf(int pages, std::uint32_t seed);

// A PNG of `width` × `height` RGB pixels: IHDR, the pixels deflated in
// IDAT chunks of at most `idatChunk` bytes, IEND; every CRC right.
FileBytes WritePng(int width, int height, std::uint32_t seed, std::size_t idatChunk = 8192);

// A 24-bit Windows bitmap with the 40-byte info header.
FileBytes WriteBmp(int width, int height, std::uint32_t seed);

struct ZipMember {
  std::string name;
  FileBytes data;
  bool deflate = true;
};
// A ZIP as zip(1) writes one: local headers, the members stored or
// deflated, the central directory and its end record.
FileBytes WriteZip(const std::vector<ZipMember>& members);

// A raw deflate stream of `data`, as ZIP members and PNG (zlib-wrapped when
// `zlibWrapped`) hold them.
FileBytes Deflate(const FileBytes& data, bool zlibWrapped);

// `data` deflated with zlib's `windowBits` (negative: raw, 16 + 15: gzip).
FileBytes DeflateWithWindow(const FileBytes& data, int windowBits);

}  // namespace salvex::testing
