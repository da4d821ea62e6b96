#include "content/tiff_ifd.h"

#include <algorithm>

namespace salvex {
namespace {

constexpr std::uint16_t kMaxEntries = 1024;
constexpr std::uint16_t kMake = 0x010F;
constexpr std::uint16_t kModel = 0x0110;
constexpr std::uint16_t kExifIfd = 0x8769;
constexpr std::uint16_t kDateTimeOriginal = 0x9003;

}  // namespace

std::uint32_t TiffEntry::TypeBytes() const {
  switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: case 13: return 4;
    case 5: case 10: case 12: return 8;
    default: return 0;
  }
}

std::optional<TiffReader> TiffReader::At(ContentSource& source, std::uint64_t base) {
  const Bytes header = source.Read(base, 8);
  if (header.size() < 8) return std::nullopt;
  const bool little = header[0] == 'I' && header[1] == 'I';
  const bool big = header[0] == 'M' && header[1] == 'M';
  if (!little && !big) return std::nullopt;
  const std::uint32_t first = little ? u32le(header, 4) : u32be(header, 4);
  return TiffReader(source, base, little, first);
}

std::uint16_t TiffReader::U16(std::uint64_t offset) const {
  return little_ ? SourceU16le(*source_, base_ + offset) : SourceU16be(*source_, base_ + offset);
}

std::uint32_t TiffReader::U32(std::uint64_t offset) const {
  return little_ ? SourceU32le(*source_, base_ + offset) : SourceU32be(*source_, base_ + offset);
}

std::optional<TiffReader::Ifd> TiffReader::ReadIfd(std::uint32_t offset) const {
  if (offset < 8 || !SourceFits(*source_, base_ + offset, 2)) return std::nullopt;
  const std::uint16_t count = U16(offset);
  if (count == 0 || count > kMaxEntries || !SourceFits(*source_, base_ + offset + 2, std::uint64_t{count} * 12 + 4)) {
    return std::nullopt;
  }
  Ifd ifd;
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::uint64_t at = std::uint64_t{offset} + 2 + std::uint64_t{i} * 12;
    TiffEntry entry;
    entry.tag = U16(at);
    entry.type = U16(at + 2);
    entry.count = U32(at + 4);
    entry.entryOffset = at + 8;
    // A value of one short sits in the first two bytes of the field.
    entry.valueOrOffset = entry.type == 3 && entry.count == 1 ? U16(at + 8) : U32(at + 8);
    ifd.entries.push_back(entry);
  }
  ifd.next = U32(std::uint64_t{offset} + 2 + std::uint64_t{count} * 12);
  return ifd;
}

std::vector<std::uint32_t> TiffReader::Numbers(const TiffEntry& entry, std::size_t limit) const {
  std::vector<std::uint32_t> values;
  if (entry.type != 3 && entry.type != 4 && entry.type != 13) return values;
  const std::uint32_t size = entry.TypeBytes();
  const std::uint64_t at = entry.ValueInEntry() ? entry.entryOffset : entry.valueOrOffset;
  const std::size_t count = std::min<std::size_t>(entry.count, limit);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t offset = at + i * size;
    if (!SourceFits(*source_, base_ + offset, size)) break;
    values.push_back(size == 2 ? U16(offset) : U32(offset));
  }
  return values;
}

std::string TiffReader::Text(const TiffEntry& entry, std::size_t limit) const {
  if (entry.type != 2) return {};
  const std::uint64_t at = entry.ValueInEntry() ? entry.entryOffset : entry.valueOrOffset;
  const Bytes bytes = source_->Read(base_ + at, std::min<std::size_t>(entry.count, limit));
  std::string text(bytes.begin(), bytes.end());
  text.erase(std::find(text.begin(), text.end(), '\0'), text.end());
  return text;
}

ExifFields ReadJpegExif(ContentSource& source) {
  ExifFields fields;
  if (SourceU16be(source, 0) != 0xFFD8) return fields;
  std::uint64_t at = 2;
  for (int segment = 0; segment < 16; ++segment) {
    if (SourceU8(source, at) != 0xFF) return fields;
    const std::uint8_t marker = SourceU8(source, at + 1);
    const std::uint16_t length = SourceU16be(source, at + 2);
    if (marker == 0xDA || (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4) || length < 2) return fields;
    if (marker == 0xE1 && length > 16 && SourceHasText(source, at + 4, std::string_view("Exif\0\0", 6))) {
      SliceSource app1(source, at + 10, length - 8u);
      const std::optional<TiffReader> tiff = TiffReader::At(app1, 0);
      if (!tiff) return fields;
      const auto ifd0 = tiff->ReadIfd(tiff->FirstIfd());
      if (!ifd0) return fields;
      for (const TiffEntry& entry : ifd0->entries) {
        if (entry.tag == kMake) fields.make = tiff->Text(entry, 64);
        if (entry.tag == kModel) fields.model = tiff->Text(entry, 64);
        if (entry.tag != kExifIfd) continue;
        const auto exif = tiff->ReadIfd(entry.valueOrOffset);
        if (!exif) continue;
        for (const TiffEntry& inner : exif->entries) {
          if (inner.tag == kDateTimeOriginal) fields.dateTimeOriginal = tiff->Text(inner, 20);
        }
      }
      return fields;
    }
    at += 2 + std::uint64_t{length};
  }
  return fields;
}

}  // namespace salvex
