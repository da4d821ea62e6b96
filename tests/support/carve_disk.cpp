#include "support/carve_disk.h"

#include <algorithm>

#include "carve/pieces_source.h"
#include "platform/memory_disk_source.h"

namespace salvex::testing {
namespace {

class Recorder final : public CarveSink {
 public:
  Recorder(CarveReader& disk, CarveDisk::Found& found, std::atomic<bool>& stop, std::size_t stopAfter)
      : disk_(disk), found_(found), stop_(stop), stopAfter_(stopAfter) {}

  void Found(const CarvedFile& file) override {
    found_.files.push_back(file);
    PiecesSource source(disk_, file.pieces);
    FileBytes bytes;
    for (std::uint64_t at = 0; at < source.Size();) {
      const auto piece = source.Read(at, kMaxSourceRead);
      if (piece.empty()) break;
      bytes.insert(bytes.end(), piece.begin(), piece.end());
      at += piece.size();
    }
    found_.contents.push_back(std::move(bytes));
    if (found_.files.size() >= stopAfter_) stop_ = true;
  }
  void Progress(const CarveProgress&) override {}

 private:
  CarveReader& disk_;
  CarveDisk::Found& found_;
  std::atomic<bool>& stop_;
  std::size_t stopAfter_;
};

}  // namespace

void CarveDisk::Put(std::size_t at, const FileBytes& file) {
  if (bytes_.size() < at + file.size()) bytes_.resize(at + file.size());
  std::copy(file.begin(), file.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(at));
}

CarveDisk::Found CarveDisk::Carve(const CarveArea& area, CarveSettings settings, std::size_t stopAfter) {
  std::uint16_t retries = 0;
  SectorReader reader(retries);
  reader.Open(std::make_unique<MemoryDiskSource>(bytes_));
  CarveReader disk(reader);
  Found found;
  std::atomic<bool> stop{false};
  IntactCheckBudget budget;
  budget.stop = &stop;
  Recorder recorder(disk, found, stop, stopAfter);
  found.result = RunCarvePass(disk, area, settings, recorder, budget);
  return found;
}

CarveArea CarveDisk::ClusterArea(std::uint64_t base, std::uint32_t clusterBytes,
                                 const std::vector<std::uint64_t>& live) const {
  CarveArea area;
  area.first = base;
  area.blockBase = base;
  area.blockBytes = clusterBytes;
  area.end = base + (bytes_.size() - base) / clusterBytes * clusterBytes;
  area.live = BlockBits((area.end - base) / clusterBytes);
  for (const std::uint64_t cluster : live) area.live.Set(cluster);
  area.allocationKnown = true;
  area.freeOnly = true;
  return area;
}

}  // namespace salvex::testing
