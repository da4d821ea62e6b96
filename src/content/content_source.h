#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/le_bytes.h"

namespace salvex {

// The longest view one Read hands out. Checks read in pieces of at most
// this, so that a file being carved never has to be held whole.
inline constexpr std::size_t kMaxSourceRead = std::size_t{1} << 20;

// The bytes of one file as the checks read them: a file read whole into
// memory, or a file still lying on the disk being carved, read as a check
// goes. Nothing is ever read outside [0, Size()).
class ContentSource {
 public:
  virtual ~ContentSource() = default;

  // How many bytes there are: a file's size, or, for a file being carved,
  // as far as it may reach.
  virtual std::uint64_t Size() const = 0;

  // Up to `length` (at most kMaxSourceRead) bytes from `offset`: fewer only
  // where Size() ends them. The view lasts until the next Read.
  virtual Bytes Read(std::uint64_t offset, std::size_t length) = 0;
};

// A file held in memory.
class SpanSource final : public ContentSource {
 public:
  explicit SpanSource(Bytes bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  Bytes Read(std::uint64_t offset, std::size_t length) override;

 private:
  Bytes bytes_;
};

// `size` bytes of another source from `offset` (as many as it has): a
// carved file bounded by what its directory entry says, a picture that
// follows another, the part of a file a check looks at.
class SliceSource final : public ContentSource {
 public:
  SliceSource(ContentSource& source, std::uint64_t offset, std::uint64_t size);
  std::uint64_t Size() const override { return size_; }
  Bytes Read(std::uint64_t offset, std::size_t length) override;

 private:
  ContentSource& source_;
  std::uint64_t offset_;
  std::uint64_t size_;
};

// Typed reads at an offset of a source, zero where the bytes are not there,
// as the little-endian helpers of on-disk structures are.
std::uint8_t SourceU8(ContentSource& source, std::uint64_t offset);
std::uint16_t SourceU16be(ContentSource& source, std::uint64_t offset);
std::uint32_t SourceU32be(ContentSource& source, std::uint64_t offset);
std::uint64_t SourceU64be(ContentSource& source, std::uint64_t offset);
std::uint16_t SourceU16le(ContentSource& source, std::uint64_t offset);
std::uint32_t SourceU32le(ContentSource& source, std::uint64_t offset);
std::uint64_t SourceU64le(ContentSource& source, std::uint64_t offset);

// Whether [offset, offset + size) lies inside the source; overflow-safe.
bool SourceFits(const ContentSource& source, std::uint64_t offset, std::uint64_t size);
// Whether the bytes at `offset` are `text`.
bool SourceHasText(ContentSource& source, std::uint64_t offset, std::string_view text);

// Big-endian reads over a span, beside le_bytes.h's little-endian ones.
constexpr std::uint16_t u16be(Bytes bytes, std::size_t offset) {
  return Fits(bytes, offset, 2) ? static_cast<std::uint16_t>(bytes[offset] << 8 | bytes[offset + 1]) : 0;
}
constexpr std::uint32_t u32be(Bytes bytes, std::size_t offset) {
  if (!Fits(bytes, offset, 4)) return 0;
  return static_cast<std::uint32_t>(bytes[offset]) << 24 | static_cast<std::uint32_t>(bytes[offset + 1]) << 16 |
         static_cast<std::uint32_t>(bytes[offset + 2]) << 8 | bytes[offset + 3];
}
constexpr std::uint64_t u64be(Bytes bytes, std::size_t offset) {
  if (!Fits(bytes, offset, 8)) return 0;
  return std::uint64_t{u32be(bytes, offset)} << 32 | u32be(bytes, offset + 4);
}

}  // namespace salvex
