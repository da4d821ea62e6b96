#include "content/content_source.h"

#include <algorithm>

namespace salvex {

Bytes SpanSource::Read(std::uint64_t offset, std::size_t length) {
  if (offset >= bytes_.size()) return {};
  const std::size_t at = static_cast<std::size_t>(offset);
  return bytes_.subspan(at, std::min({length, kMaxSourceRead, bytes_.size() - at}));
}

SliceSource::SliceSource(ContentSource& source, std::uint64_t offset, std::uint64_t size)
    : source_(source),
      offset_(std::min(offset, source.Size())),
      size_(std::min(size, source.Size() - offset_)) {}

Bytes SliceSource::Read(std::uint64_t offset, std::size_t length) {
  if (offset >= size_) return {};
  return source_.Read(offset_ + offset, static_cast<std::size_t>(std::min<std::uint64_t>(length, size_ - offset)));
}

namespace {

// The `size` bytes at `offset`, or an empty view when they are not all there.
Bytes Exactly(ContentSource& source, std::uint64_t offset, std::size_t size) {
  const Bytes bytes = source.Read(offset, size);
  return bytes.size() == size ? bytes : Bytes{};
}

}  // namespace

std::uint8_t SourceU8(ContentSource& source, std::uint64_t offset) { return u8(Exactly(source, offset, 1), 0); }
std::uint16_t SourceU16be(ContentSource& source, std::uint64_t offset) { return u16be(Exactly(source, offset, 2), 0); }
std::uint32_t SourceU32be(ContentSource& source, std::uint64_t offset) { return u32be(Exactly(source, offset, 4), 0); }
std::uint64_t SourceU64be(ContentSource& source, std::uint64_t offset) { return u64be(Exactly(source, offset, 8), 0); }
std::uint16_t SourceU16le(ContentSource& source, std::uint64_t offset) { return u16le(Exactly(source, offset, 2), 0); }
std::uint32_t SourceU32le(ContentSource& source, std::uint64_t offset) { return u32le(Exactly(source, offset, 4), 0); }
std::uint64_t SourceU64le(ContentSource& source, std::uint64_t offset) { return u64le(Exactly(source, offset, 8), 0); }

bool SourceFits(const ContentSource& source, std::uint64_t offset, std::uint64_t size) {
  return offset <= source.Size() && size <= source.Size() - offset;
}

bool SourceHasText(ContentSource& source, std::uint64_t offset, std::string_view text) {
  const Bytes bytes = Exactly(source, offset, text.size());
  return !bytes.empty() && std::equal(text.begin(), text.end(), bytes.begin(),
                                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

}  // namespace salvex
