// The whole carve pass over the input as a disk, every family on, in
// sectors and, with the input's first byte picking a cluster size and the
// clusters its bits call live, in clusters: every file found lies inside
// the disk and inside what was read, no two overlap, and a partial file
// is never called whole.

#include <algorithm>
#include <memory>
#include <vector>

#include "carve/carve_pass.h"
#include "fuzz_support.h"

using namespace salvex;

namespace {

class Checker final : public CarveSink {
 public:
  explicit Checker(std::uint64_t diskBytes) : diskBytes_(diskBytes) {}

  void Found(const CarvedFile& file) override {
    std::uint64_t total = 0;
    for (const ByteRange& piece : file.pieces) {
      FUZZ_CHECK(piece.start < piece.end && piece.end <= diskBytes_);
      for (const ByteRange& other : taken_) FUZZ_CHECK(piece.end <= other.start || piece.start >= other.end || file.embedded);
      taken_.push_back(piece);
      total += piece.Size();
    }
    FUZZ_CHECK(total == file.size);
    FUZZ_CHECK(!(file.Partial() && file.cut == CarveCut::none));
  }
  void Progress(const CarveProgress& progress) override { FUZZ_CHECK(progress.bytesDone <= progress.bytesTotal); }

 private:
  std::uint64_t diskBytes_;
  std::vector<ByteRange> taken_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  Session session;
  fuzz::OpenInput(session, data + 1, size - 1);
  CarveReader disk(session.reader);
  const std::uint64_t sectors = disk.DiskBytes() / 512;
  {
    Checker checker(disk.DiskBytes());
    IntactCheckBudget budget{std::uint64_t{1} << 22, std::uint64_t{1} << 24, nullptr, 0};
    RunCarvePass(disk, SectorArea(0, sectors), CarveSettings{}, checker, budget);
  }
  const std::uint32_t cluster = 512u << (data[0] & 3);
  CarveArea area;
  area.first = area.blockBase = 0;
  area.blockBytes = cluster;
  area.end = disk.DiskBytes() / cluster * cluster;
  area.live = BlockBits(area.end / cluster);
  for (std::uint64_t block = 0; block < area.live.Count(); ++block) {
    if ((data[1 + block % (size - 1)] >> (block % 8)) & (data[0] >> 2) & 1) area.live.Set(block);
  }
  area.allocationKnown = true;
  area.freeOnly = (data[0] & 0x80) != 0;
  Checker checker(disk.DiskBytes());
  IntactCheckBudget budget{std::uint64_t{1} << 22, std::uint64_t{1} << 24, nullptr, 0};
  RunCarvePass(disk, area, CarveSettings{}, checker, budget);
  return 0;
}
