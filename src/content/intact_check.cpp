#include "content/intact_check.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <unordered_map>
#include <string>
#include <vector>

#include "common/crc32.h"
#include "common/le_bytes.h"
#include "content/jpeg_check.h"

namespace salvex {
namespace {

std::uint32_t u32be(Bytes bytes, std::size_t offset) {
  if (!Fits(bytes, offset, 4)) return 0;
  return static_cast<std::uint32_t>(bytes[offset]) << 24 | static_cast<std::uint32_t>(bytes[offset + 1]) << 16 |
         static_cast<std::uint32_t>(bytes[offset + 2]) << 8 | bytes[offset + 3];
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

// What checking one member's data came to.
enum class MemberCheck { matches, differs, stopped };

// Whether a raw deflate stream that ends inside `data` gives `size` bytes
// whose CRC-32 is `crc`. Stop is looked at after every 64 KiB inflated.
MemberCheck InflatesTo(Bytes data, std::uint64_t size, std::uint32_t crc, const std::atomic<bool>* stop) {
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return MemberCheck::differs;
  std::vector<std::uint8_t> out(64 * 1024);
  std::uint32_t sum = 0;
  std::uint64_t produced = 0;
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(std::min<std::size_t>(data.size(), UINT32_MAX));
  int status = Z_OK;
  bool stopped = false;
  while (status == Z_OK) {
    if (stop && stop->load(std::memory_order_relaxed)) {
      stopped = true;
      break;
    }
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    status = inflate(&stream, Z_NO_FLUSH);
    const std::size_t got = out.size() - stream.avail_out;
    sum = Crc32(Bytes(out.data(), got), sum);
    produced += got;
    if (status == Z_OK && got == 0 && stream.avail_in == 0) break;  // the data ends before the stream
    if (produced > size) break;  // more than the member holds: no need to inflate the rest
  }
  inflateEnd(&stream);
  if (stopped) return MemberCheck::stopped;
  return status == Z_STREAM_END && produced == size && sum == crc ? MemberCheck::matches : MemberCheck::differs;
}

// A member as its central directory entry describes it. Two entries may
// name one local header (an archive built to make its check run forever
// does): its data is checked once, and the entries must agree.
struct MemberClaim {
  std::uint16_t method;
  std::uint32_t crc;
  std::uint32_t packed;
  std::uint32_t size;
  bool operator==(const MemberClaim&) const = default;
};

std::optional<bool> ZipIsWhole(Bytes bytes, IntactCheckBudget& budget) {
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
  bool overBudget = false;
  std::uint64_t spent = 0;  // bytes of member data summed or inflated for this file
  std::unordered_map<std::uint32_t, MemberClaim> checked;
  std::size_t at = directoryStart;
  for (std::uint32_t entry = 0; entry < entries; ++entry) {
    if (u32le(bytes, at) != kCentralHeader || !Fits(bytes, at, 46)) return false;
    const MemberClaim claim{u16le(bytes, at + 10), u32le(bytes, at + 16), u32le(bytes, at + 20),
                            u32le(bytes, at + 24)};
    // Encrypted: the CRC is of what only the password gives.
    const bool encrypted = u16le(bytes, at + 8) & 0x1;
    const std::uint16_t nameLength = u16le(bytes, at + 28);
    const std::size_t entryLength = 46 + std::size_t{nameLength} + u16le(bytes, at + 30) + u16le(bytes, at + 32);
    const std::uint32_t local = u32le(bytes, at + 42);
    if (claim.packed == 0xFFFFFFFF || claim.size == 0xFFFFFFFF || local == 0xFFFFFFFF) return std::nullopt;
    const Bytes name = Slice(bytes, at + 46, nameLength);
    if (name.size() != nameLength || u32le(bytes, local) != kLocalHeader || !Fits(bytes, local + 30, nameLength)) {
      return false;
    }
    if (u16le(bytes, local + 26) != nameLength || !std::equal(name.begin(), name.end(), bytes.begin() + local + 30)) {
      return false;
    }
    const std::size_t dataStart = local + 30 + std::size_t{nameLength} + u16le(bytes, local + 28);
    const Bytes data = Slice(bytes, dataStart, claim.packed);
    if (data.size() != claim.packed) return false;
    at += entryLength;
    if (const auto seen = checked.find(local); seen != checked.end()) {
      if (seen->second != claim) return false;
      continue;
    }
    checked.emplace(local, claim);
    if (encrypted || (claim.method != 0 && claim.method != 8)) {
      judged = false;
      continue;
    }
    // Past the budget the rest is only checked for its structure.
    const std::uint64_t cost = claim.method == 0 ? claim.packed : claim.size;
    if (cost > budget.perFile - std::min(spent, budget.perFile) || cost > budget.leftInRun) {
      judged = false;
      overBudget = true;
      continue;
    }
    spent += cost;
    budget.leftInRun -= cost;
    if (claim.method == 0) {
      if (claim.packed != claim.size || Crc32(data) != claim.crc) return false;
      continue;
    }
    switch (InflatesTo(data, claim.size, claim.crc, budget.stop)) {
      case MemberCheck::matches: break;
      case MemberCheck::differs: return false;
      case MemberCheck::stopped: return std::nullopt;
    }
  }
  if (overBudget) ++budget.filesOverBudget;
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

std::optional<bool> LooksIntact(std::string_view name, std::span<const std::uint8_t> bytes,
                                IntactCheckBudget& budget) {
  if (budget.stop && budget.stop->load(std::memory_order_relaxed)) return std::nullopt;
  switch (CheckedKindOf(name, bytes)) {
    case CheckedKind::none: return std::nullopt;
    case CheckedKind::jpeg: return JpegIsWhole(bytes);
    case CheckedKind::png: return PngIsWhole(bytes);
    case CheckedKind::gif: return GifIsWhole(bytes);
    case CheckedKind::zip: return ZipIsWhole(bytes, budget);
    case CheckedKind::pdf: return PdfIsWhole(bytes);
  }
  return std::nullopt;
}

std::optional<bool> LooksIntact(std::string_view name, std::span<const std::uint8_t> bytes) {
  IntactCheckBudget budget;
  return LooksIntact(name, bytes, budget);
}

}  // namespace salvex
