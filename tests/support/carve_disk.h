#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "carve/carve_area.h"
#include "carve/carve_pass.h"
#include "carve/carve_reader.h"
#include "disk/sector_reader.h"
#include "support/format_writers.h"

namespace salvex::testing {

// A disk in memory to carve: files laid at chosen bytes, the rest zeros
// or noise; a pass over it keeps what it found.
class CarveDisk {
 public:
  explicit CarveDisk(std::size_t bytes) : bytes_(bytes, 0) {}

  void Put(std::size_t at, const FileBytes& file);
  void Fill(std::size_t at, const FileBytes& bytes) { Put(at, bytes); }
  FileBytes& Bytes() { return bytes_; }

  struct Found {
    std::vector<CarvedFile> files;
    CarvePassResult result;
    // The bytes each file's pieces hold, in order.
    std::vector<FileBytes> contents;
  };
  // Carves `area` with `settings`; `stopAfter` raises Stop once that many
  // files were found.
  Found Carve(const CarveArea& area, CarveSettings settings = {}, std::size_t stopAfter = SIZE_MAX);
  // Every sector of the disk.
  Found Carve(CarveSettings settings = {}) { return Carve(SectorArea(0, bytes_.size() / 512), settings); }

  // An area of `clusterBytes` clusters from byte `base` to the disk's end,
  // only the free ones read, those in `live` held by live files.
  CarveArea ClusterArea(std::uint64_t base, std::uint32_t clusterBytes, const std::vector<std::uint64_t>& live) const;

 private:
  FileBytes bytes_;
};

}  // namespace salvex::testing
