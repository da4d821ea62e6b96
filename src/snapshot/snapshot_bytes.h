#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/le_bytes.h"
#include "common/sector.h"

namespace salvex {

// The longest name a scan produces, in UTF-8 bytes: 260 UTF-16 units of up to
// three bytes each.
inline constexpr std::size_t kMaxSnapshotNameBytes = 780;

// The largest snapshot file loaded: room for the scan of a volume with ten
// million files, and a bound on the memory its items take.
inline constexpr std::uint64_t kMaxSnapshotFileBytes = std::uint64_t{1} << 30;

// A snapshot file that cannot be read: the message says why.
class SnapshotError : public std::runtime_error {
 public:
  explicit SnapshotError(const std::string& message) : std::runtime_error(message) {}
};

// Appends little-endian fields without padding.
class SnapshotWriter {
 public:
  // Sector numbers take 32 bits in the first layout of each snapshot kind,
  // which older readers know, and 64 bits in the wide one.
  explicit SnapshotWriter(bool wideSectors = false) : wideSectors_(wideSectors) {}
  bool WideSectors() const { return wideSectors_; }
  // A sector number in the layout's width. A narrow writer given one past
  // 32 bits writes its low half and remembers it: the file must then be
  // written again, wide.
  void Sector(SectorNumber value);
  bool LostSectorBits() const { return lostSectorBits_; }
  // Bytes a sector number takes beyond the first layout's four.
  std::size_t ExtraSectorBytes() const { return wideSectors_ ? 4 : 0; }
  void U8(std::uint8_t value) { bytes_.push_back(value); }
  void U16(std::uint16_t value);
  void U32(std::uint32_t value);
  void U64(std::uint64_t value);
  // Byte by byte: GCC 12 at -O3 takes a range insert into the empty vector
  // of a new snapshot for an overflow (-Wstringop-overflow).
  void Text(std::string_view text) {
    bytes_.reserve(bytes_.size() + text.size());
    for (const char c : text) bytes_.push_back(static_cast<std::uint8_t>(c));
  }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  bool wideSectors_ = false;
  bool lostSectorBits_ = false;
};

// Reads little-endian fields, refusing any read past the end of the file.
class SnapshotReader {
 public:
  explicit SnapshotReader(salvex::Bytes bytes) : bytes_(bytes) {}

  std::uint8_t U8();
  std::uint16_t U16();
  std::uint32_t U32();
  std::uint64_t U64();
  std::string Text(std::size_t length);
  // Sector numbers in the width of the layout the header named.
  void SetWideSectors(bool wide) { wideSectors_ = wide; }
  SectorNumber Sector() { return wideSectors_ ? U64() : U32(); }
  std::size_t ExtraSectorBytes() const { return wideSectors_ ? 4 : 0; }
  // A record's length field, then its name: the length less the `fields`
  // bytes it counts besides the name, and no longer than any scan makes.
  std::string Name(std::size_t fields);
  std::size_t Remaining() const { return bytes_.size() - position_; }
  // A count of records of at least `minimumRecordBytes` each: it cannot
  // announce more than the rest of the file holds.
  std::uint32_t Count(std::size_t minimumRecordBytes, const char* what);

 private:
  void Need(std::size_t size) const;

  salvex::Bytes bytes_;
  std::size_t position_ = 0;
  bool wideSectors_ = false;
};

// The path to save a snapshot under: the file name upper-cased, and the
// extension (".RSNP" or ".RS2") appended unless it ends the name already.
// Folders keep their case: on Linux they are case-sensitive.
std::string SnapshotPath(const std::string& chosen, std::string_view extension);

}  // namespace salvex
