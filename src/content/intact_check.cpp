#include "content/intact_check.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "common/crc32.h"
#include "common/le_bytes.h"

namespace salvex {
namespace {

std::uint32_t u32be(Bytes bytes, std::size_t offset) {
  if (!Fits(bytes, offset, 4)) return 0;
  return static_cast<std::uint32_t>(bytes[offset]) << 24 | static_cast<std::uint32_t>(bytes[offset + 1]) << 16 |
         static_cast<std::uint32_t>(bytes[offset + 2]) << 8 | bytes[offset + 3];
}

std::uint16_t u16be(Bytes bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(u8(bytes, offset) << 8 | u8(bytes, offset + 1));
}

std::string LowerExtension(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string extension(name.substr(dot + 1));
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// --- JPEG --------------------------------------------------------------------

// Markers that stand alone, without a length: TEM, RST0-7, SOI, EOI.
bool IsStandaloneMarker(std::uint8_t marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9); }

// The position after the entropy-coded data that starts at `at`: the next
// marker that is neither a stuffed zero nor a restart marker.
std::size_t SkipEntropyCodedData(Bytes bytes, std::size_t at) {
  while (at + 1 < bytes.size()) {
    if (bytes[at] == 0xFF && bytes[at + 1] != 0x00 && !(bytes[at + 1] >= 0xD0 && bytes[at + 1] <= 0xD7) &&
        bytes[at + 1] != 0xFF) {
      return at;
    }
    ++at;
  }
  return bytes.size();
}

bool JpegIsWhole(Bytes bytes) {
  if (u8(bytes, 0) != 0xFF || u8(bytes, 1) != 0xD8) return false;
  std::size_t at = 2;
  while (at + 1 < bytes.size()) {
    if (bytes[at] != 0xFF) return false;
    const std::uint8_t marker = bytes[at + 1];
    if (marker == 0xFF) {  // fill bytes before a marker
      ++at;
      continue;
    }
    if (marker == 0xD9) return true;
    if (marker == 0x00 || marker == 0xD8) return false;
    if (IsStandaloneMarker(marker)) {
      at += 2;
      continue;
    }
    const std::uint16_t length = u16be(bytes, at + 2);
    if (length < 2 || !Fits(bytes, at + 2, length)) return false;
    at += 2 + length;
    if (marker == 0xDA) at = SkipEntropyCodedData(bytes, at);
  }
  return false;
}

// --- PNG ---------------------------------------------------------------------

bool PngIsWhole(Bytes bytes) {
  if (bytes.size() < 8 || !std::equal(kPngSignature.begin(), kPngSignature.end(), bytes.begin())) return false;
  std::size_t at = 8;
  while (Fits(bytes, at, 12)) {
    const std::uint32_t length = u32be(bytes, at);
    if (!Fits(bytes, at + 8, std::size_t{length} + 4)) return false;
    const Bytes typeAndData = bytes.subspan(at + 4, std::size_t{length} + 4);
    if (Crc32(typeAndData) != u32be(bytes, at + 8 + length)) return false;
    if (HasText(bytes, at + 4, "IEND")) return true;
    at += std::size_t{length} + 12;
  }
  return false;
}

// --- GIF ---------------------------------------------------------------------

bool GifIsWhole(Bytes bytes) {
  return (HasText(bytes, 0, "GIF87a") || HasText(bytes, 0, "GIF89a")) && bytes.size() > 13 && bytes.back() == 0x3B;
}

// --- ZIP ---------------------------------------------------------------------

constexpr std::uint32_t kEndOfCentralDirectory = 0x06054B50;
constexpr std::uint32_t kCentralHeader = 0x02014B50;
constexpr std::uint32_t kLocalHeader = 0x04034B50;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kMaxCommentSize = 0xFFFF;

// The CRC-32 of what a raw deflate stream gives, or nullopt when it is not
// one that ends inside `data` with `size` bytes.
std::optional<std::uint32_t> InflatedCrc(Bytes data, std::uint64_t size) {
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return std::nullopt;
  std::vector<std::uint8_t> out(64 * 1024);
  std::uint32_t crc = 0;
  std::uint64_t produced = 0;
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(std::min<std::size_t>(data.size(), UINT32_MAX));
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    status = inflate(&stream, Z_NO_FLUSH);
    const std::size_t got = out.size() - stream.avail_out;
    crc = Crc32(Bytes(out.data(), got), crc);
    produced += got;
    if (status == Z_OK && got == 0 && stream.avail_in == 0) break;  // the data ends before the stream
    if (produced > size) break;  // more than the member holds: no need to inflate the rest
  }
  inflateEnd(&stream);
  if (status != Z_STREAM_END || produced != size) return std::nullopt;
  return crc;
}

std::optional<bool> ZipIsWhole(Bytes bytes) {
  if (bytes.size() < kEndRecordSize) return false;
  // The end record is the last one with its signature, at most a comment's
  // length before the end.
  std::optional<std::size_t> end;
  const std::size_t lowest =
      bytes.size() > kEndRecordSize + kMaxCommentSize ? bytes.size() - kEndRecordSize - kMaxCommentSize : 0;
  for (std::size_t at = bytes.size() - kEndRecordSize + 1; at-- > lowest;) {
    if (u32le(bytes, at) == kEndOfCentralDirectory) {
      end = at;
      break;
    }
  }
  if (!end) return false;
  const std::uint16_t entries = u16le(bytes, *end + 10);
  const std::uint32_t directorySize = u32le(bytes, *end + 12);
  const std::uint32_t directoryStart = u32le(bytes, *end + 16);
  if (entries == 0xFFFF || directoryStart == 0xFFFFFFFF || directorySize == 0xFFFFFFFF) return std::nullopt;  // ZIP64
  if (!Fits(bytes, directoryStart, directorySize) || directoryStart + std::size_t{directorySize} > *end) return false;
  bool judged = true;
  std::size_t at = directoryStart;
  for (std::uint32_t entry = 0; entry < entries; ++entry) {
    if (u32le(bytes, at) != kCentralHeader || !Fits(bytes, at, 46)) return false;
    const std::uint16_t method = u16le(bytes, at + 10);
    const std::uint32_t crc = u32le(bytes, at + 16);
    const std::uint32_t packed = u32le(bytes, at + 20);
    const std::uint32_t size = u32le(bytes, at + 24);
    const std::uint16_t nameLength = u16le(bytes, at + 28);
    const std::size_t entryLength = 46 + std::size_t{nameLength} + u16le(bytes, at + 30) + u16le(bytes, at + 32);
    const std::uint32_t local = u32le(bytes, at + 42);
    if (packed == 0xFFFFFFFF || size == 0xFFFFFFFF || local == 0xFFFFFFFF) return std::nullopt;
    const Bytes name = Slice(bytes, at + 46, nameLength);
    if (name.size() != nameLength || u32le(bytes, local) != kLocalHeader || !Fits(bytes, local + 30, nameLength)) {
      return false;
    }
    if (u16le(bytes, local + 26) != nameLength || !std::equal(name.begin(), name.end(), bytes.begin() + local + 30)) {
      return false;
    }
    const std::size_t dataStart = local + 30 + std::size_t{nameLength} + u16le(bytes, local + 28);
    const Bytes data = Slice(bytes, dataStart, packed);
    if (data.size() != packed) return false;
    if (u16le(bytes, at + 8) & 0x1) {  // encrypted: the CRC is of what only the password gives
      judged = false;
    } else if (method == 0) {
      if (packed != size || Crc32(data) != crc) return false;
    } else if (method == 8) {
      if (InflatedCrc(data, size) != crc) return false;
    } else {
      judged = false;
    }
    at += entryLength;
  }
  return judged ? std::optional(true) : std::nullopt;
}

// --- PDF ---------------------------------------------------------------------

bool PdfIsWhole(Bytes bytes) {
  if (!HasText(bytes, 0, "%PDF-")) return false;
  // Writers put "%%EOF" last, followed at most by line ends and padding.
  constexpr std::size_t kTail = 1024;
  const std::size_t from = bytes.size() > kTail ? bytes.size() - kTail : 0;
  for (std::size_t at = bytes.size(); at-- > from;) {
    if (HasText(bytes, at, "%%EOF")) return true;
  }
  return false;
}

}  // namespace

CheckedKind CheckedKindOf(std::string_view name, std::span<const std::uint8_t> start) {
  const std::string extension = LowerExtension(name);
  if (extension == "jpg" || extension == "jpeg" || extension == "jpe" || extension == "jfif") return CheckedKind::jpeg;
  if (extension == "png") return CheckedKind::png;
  if (extension == "gif") return CheckedKind::gif;
  if (extension == "zip" || extension == "docx" || extension == "xlsx" || extension == "pptx" ||
      extension == "odt" || extension == "ods" || extension == "odp" || extension == "epub" || extension == "jar") {
    return CheckedKind::zip;
  }
  if (extension == "pdf") return CheckedKind::pdf;
  if (u8(start, 0) == 0xFF && u8(start, 1) == 0xD8 && u8(start, 2) == 0xFF) return CheckedKind::jpeg;
  if (start.size() >= 8 && std::equal(kPngSignature.begin(), kPngSignature.end(), start.begin())) {
    return CheckedKind::png;
  }
  if (HasText(start, 0, "GIF87a") || HasText(start, 0, "GIF89a")) return CheckedKind::gif;
  if (u32le(start, 0) == kLocalHeader) return CheckedKind::zip;
  if (HasText(start, 0, "%PDF-")) return CheckedKind::pdf;
  return CheckedKind::none;
}

std::optional<bool> LooksIntact(std::string_view name, std::span<const std::uint8_t> bytes) {
  switch (CheckedKindOf(name, bytes)) {
    case CheckedKind::none: return std::nullopt;
    case CheckedKind::jpeg: return JpegIsWhole(bytes);
    case CheckedKind::png: return PngIsWhole(bytes);
    case CheckedKind::gif: return GifIsWhole(bytes);
    case CheckedKind::zip: return ZipIsWhole(bytes);
    case CheckedKind::pdf: return PdfIsWhole(bytes);
  }
  return std::nullopt;
}

}  // namespace salvex
