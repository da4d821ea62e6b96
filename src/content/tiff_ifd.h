#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/le_bytes.h"
#include "content/content_source.h"

namespace salvex {

// One entry of a TIFF image file directory (IFD), as EXIF, TIFF and the
// camera raw formats built on it store them.
struct TiffEntry {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  std::uint32_t valueOrOffset = 0;  // the value itself when it fits in four bytes
  std::uint64_t entryOffset = 0;    // where the entry's value field lies

  // Bytes per value of the type; 0 for a type TIFF does not define.
  std::uint32_t TypeBytes() const;
  // The bytes the values take; whether they lie in the entry or at the offset.
  std::uint64_t ValueBytes() const { return std::uint64_t{count} * TypeBytes(); }
  bool ValueInEntry() const { return ValueBytes() <= 4; }
};

// TIFF structures over a source that holds the TIFF header at `base`, in
// the byte order that header gives ("II" little, "MM" big).
class TiffReader {
 public:
  // Nothing when `base` holds no TIFF header.
  static std::optional<TiffReader> At(ContentSource& source, std::uint64_t base);

  std::uint64_t Base() const { return base_; }
  std::uint32_t FirstIfd() const { return firstIfd_; }
  std::uint16_t U16(std::uint64_t offset) const;   // relative to the header
  std::uint32_t U32(std::uint64_t offset) const;

  // The entries of the IFD at `offset` (relative to the header), and the
  // offset of the next IFD (0: none). Nothing when the IFD does not fit or
  // holds no entry or an implausible count.
  struct Ifd {
    std::vector<TiffEntry> entries;
    std::uint32_t next = 0;
  };
  std::optional<Ifd> ReadIfd(std::uint32_t offset) const;

  // Values of an entry: numbers (SHORT or LONG), at most `limit` of them;
  // ASCII text, without its terminator.
  std::vector<std::uint32_t> Numbers(const TiffEntry& entry, std::size_t limit) const;
  std::string Text(const TiffEntry& entry, std::size_t limit) const;

 private:
  TiffReader(ContentSource& source, std::uint64_t base, bool little, std::uint32_t firstIfd)
      : source_(&source), base_(base), little_(little), firstIfd_(firstIfd) {}

  ContentSource* source_;
  std::uint64_t base_;
  bool little_;
  std::uint32_t firstIfd_;
};

// What a photo's EXIF says of when and with what it was taken.
struct ExifFields {
  std::string make;
  std::string model;
  std::string dateTimeOriginal;  // "YYYY:MM:DD HH:MM:SS"
};

// The EXIF fields of a JPEG, from its APP1 segment (looked for among the
// segments before the first frame). Empty fields when it has none.
ExifFields ReadJpegExif(ContentSource& source);

}  // namespace salvex
