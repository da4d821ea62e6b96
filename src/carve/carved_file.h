#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "carve/carve_area.h"
#include "carve/carve_format.h"
#include "carve/entry_names.h"
#include "content/content_extent.h"

namespace salvex {

// Why a carved file ends before its own structure does.
enum class CarveCut : std::uint8_t {
  none,
  damaged,         // its content stops holding together there (overwritten, or another file's bytes)
  liveClusters,    // the clusters after it are a live file's
  otherFileStart,  // a sector there starts another file
  areaEnd,         // the range carved ends there
};

// A file found by its content.
struct CarvedFile {
  const CarveFormat* format = nullptr;
  std::string extension;
  // Where its bytes lie on the disk, in order: one piece unless it was put
  // together from pieces found apart.
  std::vector<ByteRange> pieces;
  std::uint64_t size = 0;
  // Whole, unchecked or unjudged: complete by its structure; cut short or
  // damaged: a partial file, its sound start kept.
  Soundness soundness = Soundness::whole;
  CarveCut cut = CarveCut::none;
  bool joined = false;    // put together from pieces that do not follow each other on the disk
  bool embedded = false;  // starts inside another file, or where no sector begins
  // The deleted file of the scan whose first cluster it starts at: it takes
  // that file's name, folder and dates.
  const ListedFile* entry = nullptr;
  std::string contentName;  // a name its content gives ("2021-05-03 14-22-01 Canon EOS 80D"), if any
  std::uint32_t unreadableSectors = 0;  // read as zeros
  // A damaged file kept whole: the stretches of it (from its first byte)
  // whose content fails.
  std::vector<FileSpan> damagedSpans;
  const char* why = "";

  bool Partial() const { return soundness == Soundness::cutShort || soundness == Soundness::damaged; }
  // The first byte on the disk.
  std::uint64_t FirstByte() const { return pieces.empty() ? 0 : pieces.front().start; }
};

// Where a carved file goes under the destination: its deleted entry's
// path; else "<extension>/<name>.<extension>", the name its content gives
// or "f" and the sector it starts at (with "-" and the byte within the
// sector for a file that starts inside one): "jpg/f0012345.jpg".
std::string CarvedFilePath(const CarvedFile& file);

}  // namespace salvex
