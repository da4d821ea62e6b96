#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace salvex {

// A stretch of the disk in bytes from its first one: [first, first + length).
struct DiskExtent {
  std::uint64_t first = 0;
  std::uint64_t length = 0;
  bool operator==(const DiskExtent&) const = default;
};

// What a file found by its content ends with, as the search judged it.
enum class CarvedVerdict : std::uint8_t {
  intact,     // whole by its structure, and what it carries checks out
  unchecked,  // whole by its structure; nothing in it tells foreign bytes apart
  unjudged,   // whole by its structure; what it carries could not be judged
  partial,    // cut short or damaged: only its sound start
};

// Why such a file ends before its own structure says it does.
enum class CarvedCut : std::uint8_t { none, damaged, liveClusters, otherFileStart, areaEnd };

// A stretch of a file from its first byte: [start, end).
struct CarvedSpan {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  bool operator==(const CarvedSpan&) const = default;
};

// Where the bytes of a file found by its content lie, and what makes them
// doubtful. Such a file has no directory entry and no cluster chain: its
// bytes are these extents of the disk, in order, and nothing else.
struct CarvedPlacement {
  std::vector<DiskExtent> extents;
  std::string family;  // the family the search knew it by ("jpg", "zip")
  CarvedVerdict verdict = CarvedVerdict::intact;
  CarvedCut cut = CarvedCut::none;
  bool joined = false;    // put together from pieces that do not follow each other on the disk
  bool embedded = false;  // starts inside another file, or where no sector begins
  // A damaged file kept whole: the stretches of it whose content fails.
  std::vector<CarvedSpan> damagedSpans;

  bool operator==(const CarvedPlacement&) const = default;
  // The bytes the extents hold; saturates rather than wraps.
  std::uint64_t ExtentBytes() const;
};

// Each doubt about a found file's bytes, a short phrase each ("cut short
// where another file begins: only its sound start", "put together from 3
// pieces found apart"); empty for a file found whole in one piece.
std::vector<std::string> CarvedDoubts(const CarvedPlacement& placement);

// The folders a search by content files what it finds under: "Found by
// Content" in the volume's root, and a folder per type below it (keys from
// kFirstContentTypeKey up, in the order the types are first found). Their
// keys lie beyond FAT32's 28-bit cluster numbers, and a store of found
// files holds no scanned folders besides: no key can meet a folder's.
inline constexpr const char* kFoundByContentName = "Found by Content";
inline constexpr std::uint32_t kFoundByContentKey = 0xFFFFFFFD;
inline constexpr std::uint32_t kFirstContentTypeKey = 0xFFFF0000;

}  // namespace salvex
