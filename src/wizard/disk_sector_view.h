#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace salvex::wizard {

// The bytes of a stretch of sectors of the disk being examined, read-only,
// for the hex view of "View Disk Sectors".
struct SectorBytes {
  std::uint64_t firstSector = 0;
  std::vector<std::uint8_t> bytes;
  std::string error;  // why none could be read
};

// What the dialog asks of the wizard: sectors read on the worker (never on
// the window's thread), `done` called on the window's thread after.
class DiskSectorView {
 public:
  using Done = std::function<void(const SectorBytes& read)>;
  using Read = std::function<void(std::uint64_t first, std::uint32_t count, Done done)>;

  // At most this many sectors a read: a page of hex for a person to read.
  static constexpr std::uint32_t kMaxSectors = 64;

  DiskSectorView(std::string diskName, std::uint64_t diskSectors, Read read)
      : diskName_(std::move(diskName)), diskSectors_(diskSectors), read_(std::move(read)) {}

  const std::string& DiskName() const { return diskName_; }
  std::uint64_t DiskSectors() const { return diskSectors_; }
  // Reads sectors [first, first + count), the count cut to kMaxSectors and
  // to the disk's end; a first sector past the end reads nothing and says so.
  void ReadSectors(std::uint64_t first, std::uint32_t count, Done done) const;

 private:
  std::string diskName_;
  std::uint64_t diskSectors_;
  Read read_;
};

}  // namespace salvex::wizard
