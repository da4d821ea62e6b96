#include "deepscan/directory_reader.h"

#include <algorithm>

namespace salvex {
namespace {

constexpr std::uint32_t kPieceSectors = 8;

}  // namespace

DirectoryRead DirectoryReader::ReadClusters(const ClusterChain& chain, std::uint32_t parent, bool deleted,
                                            bool checkDots, bool goesOnFromBefore) {
  const VolumeParameters& volume = context_.volume;
  const std::uint32_t piece = std::min(volume.sectorsPerCluster, kPieceSectors);
  DirectoryRead read;
  bool first = true;
  for (const std::uint32_t cluster : chain) {
    ++read.clustersRead;
    for (std::uint32_t offset = 0; offset < volume.sectorsPerCluster; offset += piece) {
      const std::uint32_t sectors = std::min(piece, volume.sectorsPerCluster - offset);
      if (Read(volume.ClusterToSector(cluster) + offset, sectors, parent, deleted, first, checkDots, read.abandoned,
               goesOnFromBefore)) {
        read.endSeen = !read.abandoned;
        return read;
      }
      first = false;
    }
  }
  return read;
}

void DirectoryReader::ReadSectors(SectorNumber start, std::uint32_t count, std::uint32_t parent) {
  bool abandoned = false;
  for (std::uint32_t offset = 0; offset < count; offset += kPieceSectors) {
    if (Read(start + offset, std::min(kPieceSectors, count - offset), parent, false, offset == 0, false, abandoned)) {
      return;
    }
  }
}

bool DirectoryReader::Read(SectorNumber sector, std::uint32_t count, std::uint32_t parent, bool deleted, bool first,
                           bool checkDots, bool& abandoned, bool goesOnFromBefore) {
  constexpr std::size_t kKeptBytes = kLongNameReachSectors * kSectorSize;
  if (first) {
    window_.assign(kKeptBytes, 0);
    if (goesOnFromBefore && sector >= kLongNameReachSectors) {
      ReadSectorsZeroed(context_.reader, sector - kLongNameReachSectors, kLongNameReachSectors, window_);
    }
  }
  window_.resize(kKeptBytes + std::size_t{count} * kSectorSize);
  const std::span<std::uint8_t> piece(window_.data() + kKeptBytes, std::size_t{count} * kSectorSize);
  context_.reader.ReadSectorsFillingGaps(sector, count, piece, &unreadable_);
  for (const std::uint32_t gap : unreadable_) decode_.store.unreadableDirectorySectors.push_back({parent, sector + gap});
  const bool firstReadable = unreadable_.empty() || unreadable_.front() != 0;
  if (first && checkDots && firstReadable && !BeginsWithDotEntries(piece)) {
    abandoned = true;
    return true;
  }
  // Each stretch of readable sectors is decoded on its own: an unreadable
  // one reads as zeros, which would otherwise end the directory.
  bool ended = false;
  std::uint32_t begin = 0;
  for (std::size_t gap = 0; gap <= unreadable_.size() && !ended; ++gap) {
    const std::uint32_t end = gap < unreadable_.size() ? unreadable_[gap] : count;
    if (end > begin) {
      const unsigned skipDots = begin == 0 && first && checkDots ? 2u : 0u;
      const auto firstIndex = static_cast<unsigned>(kLongNameReachSectors * 16 + skipDots);
      const Bytes stretch = Bytes(window_).subspan(std::size_t{begin} * kSectorSize, kKeptBytes + std::size_t{end - begin} * kSectorSize);
      ended = DecodeDirectorySectors(decode_, stretch, parent, deleted, firstIndex);
    }
    begin = end + 1;
  }
  // Keep the window's last sectors in front of the next piece.
  std::copy(window_.end() - kKeptBytes, window_.end(), window_.begin());
  return ended;
}

}  // namespace salvex
