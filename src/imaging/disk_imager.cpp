#include "imaging/disk_imager.h"

#include <algorithm>

namespace salvex {
namespace {

// The skip after a failed read doubles up to a hundredth of the source
// (but at least one block, at most 1 GiB): a bad stretch costs few reads,
// and the second copy pass comes back for what was skipped.
std::uint64_t MaxSkip(std::uint64_t extent, std::uint64_t block) {
  return std::max<std::uint64_t>(block, std::min<std::uint64_t>(extent / 100, 1ULL << 30));
}

}  // namespace

std::uint64_t ImagingProgress::RemainingBytes() const {
  return totals.Bytes(BlockStatus::nonTried) + totals.Bytes(BlockStatus::nonTrimmed) +
         totals.Bytes(BlockStatus::nonScraped);
}

DiskImager::DiskImager(DiskSource& source, ImageSink& image, RescueMap& map, const ImagingSettings& settings,
                       const std::atomic<bool>& stop, ImagingObserver& observer)
    : source_(source), image_(image), map_(map), settings_(settings), stop_(stop), observer_(observer) {
  settings_.sectorBytes = std::max<std::uint32_t>(1, settings_.sectorBytes);
  // A block is whole sectors, so block boundaries are sector boundaries.
  settings_.copyBlockBytes =
      std::max(settings_.sectorBytes, settings_.copyBlockBytes / settings_.sectorBytes * settings_.sectorBytes);
  buffer_.resize(settings_.copyBlockBytes);
}

ImagingResult DiskImager::Run() {
  started_ = std::chrono::steady_clock::now();
  lastSave_ = started_;
  const bool nothingToDo = map_.AllTried() && (settings_.retries == 0 || map_.Totals().Bytes(BlockStatus::badSector) == 0);
  if (!nothingToDo) {
    map_.pass = 1;
    if (map_.Totals().Bytes(BlockStatus::nonTried) > 0) {
      map_.phase = RescuePhase::copying;
      CopyPass(true);
      map_.pass = 2;
      if (Going()) CopyPass(false);
    }
    if (Going() && map_.Totals().Bytes(BlockStatus::nonTrimmed) > 0) {
      map_.phase = RescuePhase::trimming;
      map_.pass = 1;
      Trim();
    }
    if (Going() && map_.Totals().Bytes(BlockStatus::nonScraped) > 0) {
      map_.phase = RescuePhase::scraping;
      map_.pass = 1;
      ReadSectorsOf(BlockStatus::nonScraped);
    }
    for (int retry = 1; retry <= settings_.retries && Going(); ++retry) {
      if (map_.Totals().Bytes(BlockStatus::badSector) == 0) break;
      map_.phase = RescuePhase::retrying;
      map_.pass = retry;
      ReadSectorsOf(BlockStatus::badSector);
    }
  }
  if (Going() && map_.AllTried()) {
    map_.phase = RescuePhase::finished;
    map_.pass = 1;
  }
  if (failed_) {
    // The image refused bytes, or a save failed: the map is saved as it
    // stands for what was written. When it cannot be, the map of the last
    // save stays on the host, and the message says so.
    if (std::string why = Save(); !why.empty() && result_.end == ImagingEnd::imageWriteFailed) {
      result_.error += "; the map could not be saved either (" + why +
                       "): it holds what it said at its last save, and a run goes on from there";
    }
  } else if (!nothingToDo || map_.phase != RescuePhase::finished) {
    // A map that was finished already is left as it is: the run read nothing.
    if (std::string why = Save(); !why.empty()) {
      result_.end = ImagingEnd::mapWriteFailed;
      result_.error = "the map could not be saved: " + why;
    }
  }
  if (!failed_ && result_.end == ImagingEnd::finished && map_.phase != RescuePhase::finished) {
    result_.end = ImagingEnd::stopped;
  }
  Report(false);
  return result_;
}

void DiskImager::CopyPass(bool skipping) {
  const std::uint64_t block = settings_.copyBlockBytes;
  const std::uint64_t maxSkip = MaxSkip(map_.Extent(), block);
  std::uint64_t skip = 0;
  std::uint64_t pos = 0;
  MapBlock area;
  while (Going() && map_.NextWithStatus(pos, BlockStatus::nonTried, area)) {
    pos = area.pos;
    const std::uint64_t end = std::min(area.End(), pos / block * block + block);
    map_.currentPos = pos;
    const Read read = ReadInto(pos, end - pos);
    if (read == Read::failed) return;
    if (read == Read::good) {
      map_.Set(pos, end - pos, BlockStatus::finished);
      skip = 0;
      pos = end;
    } else {
      map_.Set(pos, end - pos, BlockStatus::nonTrimmed);
      skip = skipping ? (skip == 0 ? block : std::min(skip * 2, maxSkip)) : 0;
      pos = end + std::min(skip, map_.Extent() - end);
    }
    Report(true);
  }
}

void DiskImager::Trim() {
  std::uint64_t pos = 0;
  MapBlock area;
  while (Going() && map_.NextWithStatus(pos, BlockStatus::nonTrimmed, area)) {
    TrimBlock(area);
    pos = area.End();
  }
}

void DiskImager::TrimBlock(const MapBlock& block) {
  std::uint64_t front = block.pos;
  std::uint64_t back = block.End();
  bool frontFailed = false;
  while (Going() && front < back && !frontFailed) {
    const std::uint64_t size = SectorAfter(front, back);
    map_.currentPos = front;
    const Read read = ReadInto(front, size);
    if (read == Read::failed) return;
    frontFailed = read == Read::bad;
    map_.Set(front, size, frontFailed ? BlockStatus::badSector : BlockStatus::finished);
    front += size;
    Report(true);
  }
  bool backFailed = false;
  while (Going() && front < back && !backFailed) {
    const std::uint64_t size = SectorBefore(front, back);
    map_.currentPos = back - size;
    const Read read = ReadInto(back - size, size);
    if (read == Read::failed) return;
    backFailed = read == Read::bad;
    map_.Set(back - size, size, backFailed ? BlockStatus::badSector : BlockStatus::finished);
    back -= size;
    Report(true);
  }
  // Cut short by Stop, the rest stays non-trimmed and is trimmed next time.
  if (frontFailed && backFailed && front < back) map_.Set(front, back - front, BlockStatus::nonScraped);
}

void DiskImager::ReadSectorsOf(BlockStatus status) {
  std::uint64_t pos = 0;
  MapBlock area;
  while (Going() && map_.NextWithStatus(pos, status, area)) {
    for (pos = area.pos; Going() && pos < area.End();) {
      const std::uint64_t size = SectorAfter(pos, area.End());
      map_.currentPos = pos;
      const Read read = ReadInto(pos, size);
      if (read == Read::failed) return;
      map_.Set(pos, size, read == Read::good ? BlockStatus::finished : BlockStatus::badSector);
      pos += size;
      Report(true);
    }
  }
}

DiskImager::Read DiskImager::ReadInto(std::uint64_t pos, std::uint64_t size) {
  const std::span<std::uint8_t> bytes(buffer_.data(), static_cast<std::size_t>(size));
  ++result_.reads;
  if (!source_.ReadAt(pos, bytes)) {
    ++readErrors_;
    return Read::bad;
  }
  if (!image_.WriteAt(pos, bytes)) {
    failed_ = true;
    result_.end = ImagingEnd::imageWriteFailed;
    const std::string why = image_.FailureReason();
    result_.error = "the image could not be written at byte " + std::to_string(pos) + (why.empty() ? "" : ": " + why);
    return Read::failed;
  }
  bytesRescued_ += size;
  return Read::good;
}

std::uint64_t DiskImager::SectorAfter(std::uint64_t pos, std::uint64_t end) const {
  const std::uint64_t sector = settings_.sectorBytes;
  return std::min(end, pos / sector * sector + sector) - pos;
}

std::uint64_t DiskImager::SectorBefore(std::uint64_t start, std::uint64_t end) const {
  const std::uint64_t sector = settings_.sectorBytes;
  return end - std::max(start, (end - 1) / sector * sector);
}

void DiskImager::Report(bool maySave) {
  result_.last.phase = map_.phase;
  result_.last.pass = map_.pass;
  result_.last.currentPos = map_.currentPos;
  result_.last.extent = map_.Extent();
  result_.last.totals = map_.Totals();
  result_.last.readErrors = readErrors_;
  result_.last.bytesRescued = bytesRescued_;
  const auto now = std::chrono::steady_clock::now();
  result_.last.elapsed = now - started_;
  observer_.Progress(result_.last);
  if (maySave && now - lastSave_ >= settings_.saveInterval) {
    if (std::string why = Save(); !why.empty()) {
      failed_ = true;
      result_.end = ImagingEnd::mapWriteFailed;
      result_.error = "the map could not be saved: " + why;
    }
  }
}

std::string DiskImager::Save() {
  lastSave_ = std::chrono::steady_clock::now();
  // The bytes first: a map must never call finished what is not on disk.
  if (!image_.Sync()) {
    const std::string why = image_.FailureReason();
    return "the image could not be synced to its disk" + (why.empty() ? "" : ": " + why);
  }
  return observer_.SaveMap(map_);
}

}  // namespace salvex
