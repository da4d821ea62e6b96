#include "deepscan/sweep.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "deepscan/exfat_sector_tests.h"
#include "deepscan/mft_hits.h"
#include "deepscan/sector_tests.h"

namespace salvex {
namespace {

// The progress bar and status line move once every this many reads.
constexpr int kReadsPerProgress = 88;

// Sectors read ahead in one request (1 MiB): many small requests cost more
// than the sweep's own work. The chunks are still judged one by one, and the
// chunks of a window that cannot be read whole are read one by one, with the
// retries, as without read-ahead.
constexpr std::uint32_t kWindowSectors = 2048;

// 32 MiB of sector numbers: more directory sectors than a volume of millions
// of files has. Past it the sweep records no more of them.
constexpr std::size_t kMaxDirectorySectorHits = std::size_t{1} << 22;

// The kernel copies from the page cache into a page-aligned buffer about
// three times as fast as into one 16 bytes off (what a large allocation
// gives): most of the sweep's time is that copy.
constexpr std::size_t kPageBytes = 4096;

std::span<std::uint8_t> PageAligned(std::vector<std::uint8_t>& storage, std::size_t size) {
  const auto address = reinterpret_cast<std::uintptr_t>(storage.data());
  const std::size_t skip = (kPageBytes - address % kPageBytes) % kPageBytes;
  return std::span<std::uint8_t>(storage).subspan(skip, size);
}

// The first sector at or after `sector` that may hold data (see
// DiskSource::NextDataOffset).
std::uint64_t NextDataSector(SectorReader& reader, std::uint64_t sector) {
  const DiskSource* source = reader.Source();
  if (source == nullptr) return sector;
  const std::uint64_t data = source->NextDataOffset(sector * kSectorSize);
  return std::max(sector, data / kSectorSize);
}

// Hands out the sweep's chunks from a read-ahead window.
class ChunkSource {
 public:
  ChunkSource(SectorReader& reader, std::uint32_t perRead)
      : reader_(reader),
        perRead_(perRead),
        windowChunks_(std::max<std::uint32_t>(1, kWindowSectors / perRead)),
        storage_(std::size_t{windowChunks_} * perRead * kSectorSize + kPageBytes),
        window_(PageAligned(storage_, std::size_t{windowChunks_} * perRead * kSectorSize)),
        chunk_(std::size_t{perRead} * kSectorSize) {}

  // The chunk of `perRead` sectors at `first`; `chunksLeft` bounds the read-ahead.
  Bytes Chunk(std::uint64_t first, std::uint64_t chunksLeft) {
    const std::uint64_t windowEnd = windowStart_ + windowSectors_;
    // A failed window is not asked for again: on a failing disk every
    // failed read can take seconds.
    if (first < windowStart_ || first + perRead_ > windowEnd) {
      const auto chunks = static_cast<std::uint32_t>(std::min<std::uint64_t>(windowChunks_, chunksLeft));
      windowStart_ = first;
      windowSectors_ = chunks * perRead_;
      windowValid_ = reader_.TryReadSectors(first, chunks * perRead_, window_);
    }
    if (windowValid_) {
      return Bytes(window_.data() + (first - windowStart_) * kSectorSize, chunk_.size());
    }
    // Cleared first: a chunk that cannot be read is zeros, not the last one again.
    ReadSectorsZeroed(reader_, first, perRead_, chunk_);
    return chunk_;
  }

 private:
  SectorReader& reader_;
  std::uint32_t perRead_;
  std::uint32_t windowChunks_;
  std::vector<std::uint8_t> storage_;
  std::span<std::uint8_t> window_;  // inside storage_, on a page boundary
  std::vector<std::uint8_t> chunk_;
  std::uint64_t windowStart_ = 0;
  std::uint64_t windowSectors_ = 0;  // 0 until the first window is asked for
  bool windowValid_ = false;
};

// The loop the sweeps share. `examine` judges one sector, given with the rest
// of its chunk after it; it returns false to end the sweep at once.
template <typename Examine>
void Sweep(SweepContext& context, bool showDoneAsCurrent, Examine examine) {
  ScanState& scan = context.scan;
  UiPort& ui = context.ui;
  const std::uint32_t perRead = std::clamp<std::uint32_t>(context.settings.sectorsPerRead, 1, 100);
  ChunkSource chunks(context.reader, perRead);
  ui.SetStopVisible(true);
  ui.SetProgress(0);
  ui.ShowProgress(true);
  scan.stopRequested = false;
  int reads = 0;
  for (std::uint64_t done = 0; done < scan.rangeSize && !scan.StopRequested(); done += perRead) {
    const std::uint64_t first = std::uint64_t{scan.rangeStart} + done;
    // A hole of a sparse image holds nothing to find: whole chunks of it are
    // passed over unread, and counted as swept.
    if (const std::uint64_t holeChunks = (NextDataSector(context.reader, first) - first) / perRead; holeChunks > 0) {
      done += std::min(holeChunks * perRead, (scan.rangeSize - done + perRead - 1) / perRead * perRead) - perRead;
      continue;
    }
    if (!showDoneAsCurrent) ui.SetPanelValue(panel::kCurrentSector, std::to_string(first));
    if (++reads == kReadsPerProgress) {
      ui.SetProgress(ProgressPercent(done, scan.rangeSize));
      ui.SetStatus("Reading Sector " + std::to_string(done) + " Of " + std::to_string(scan.rangeSize));
      reads = 0;
    }
    const Bytes chunk = chunks.Chunk(first, (scan.rangeSize - done + perRead - 1) / perRead);
    // The last chunk is read whole, but what it holds past the range is not
    // the range's: only the range's sectors are judged.
    const auto inRange = static_cast<std::uint32_t>(std::min<std::uint64_t>(perRead, scan.rangeSize - done));
    bool goOn = true;
    for (std::uint32_t i = 0; i < inRange && goOn; ++i) {
      const Bytes rest = chunk.subspan(std::size_t{i} * kSectorSize);
      goOn = examine(rest.first(kSectorSize), first + i, rest);
    }
    if (showDoneAsCurrent) ui.SetPanelValue(panel::kCurrentSector, std::to_string(done));
    if (!goOn) break;
  }
  scan.stopRequested = false;
}

// Sectors read past a chunk's end when an entry set may go on there: the
// longest set is 19 entries, 608 bytes.
constexpr std::uint32_t kSetReachSectors = 3;

// A bound on the folder entry sets kept, as on the directory sectors.
constexpr std::size_t kMaxExfatFolderHits = std::size_t{1} << 22;

// Keeps a FAT or exFAT boot sector found at `number`; false, with the sweep
// stopped and the user told, once there are more than a disk can hold.
bool KeepBootSector(SweepContext& context, SectorNumber number) {
  if (!context.IsAligned(number)) return true;
  HitLists& hits = context.hits;
  hits.bootSectors.push_back({number});
  ++hits.bootSectorsFound;
  context.ui.SetPanelValue(panel::kBootSectorsFound, std::to_string(hits.bootSectorsFound));
  if (hits.bootSectorsFound <= kMaxFatBootSectorHits) return true;
  context.ui.Notice(NoticeKind::error, kTooManyStructuresMessage);
  context.scan.stopRequested = true;
  return false;
}

}  // namespace

void SweepFat(SweepContext& context) {
  HitLists& hits = context.hits;
  UiPort& ui = context.ui;
  Sweep(context, true, [&](Bytes sector, SectorNumber number, Bytes) {
    switch (ClassifyFatSector(sector)) {
      case FatSectorKind::bootSector:
        if (!KeepBootSector(context, number)) return false;
        break;
      case FatSectorKind::signedOther:
        ui.SetPanelValue(panel::kBootSectorsFound, std::to_string(hits.bootSectorsFound));
        break;
      case FatSectorKind::folderCluster:
        if (!context.IsAligned(number)) break;
        if (const auto hit = ReadFolderClusterHit(sector, number)) {
          hits.folderClusters.push_back(*hit);
          ++hits.foldersFound;
        }
        ui.SetPanelValue(panel::kFoldersFound, std::to_string(hits.foldersFound));
        break;
      case FatSectorKind::directoryEntries:
        if (hits.directorySectors.size() < kMaxDirectorySectorHits) hits.directorySectors.push_back(number);
        break;
      case FatSectorKind::other:
        break;
    }
    return true;
  });
}

void SweepExfat(SweepContext& context) {
  HitLists& hits = context.hits;
  UiPort& ui = context.ui;
  std::vector<std::uint8_t> reach(kSetReachSectors * kSectorSize);
  Sweep(context, true, [&](Bytes, SectorNumber number, Bytes rest) {
    if (ExfatSetMayBeCut(rest)) {
      ReadSectorsZeroed(context.reader, number, kSetReachSectors, reach);
      rest = reach;
    }
    ExfatSectorFindings findings = JudgeExfatSector(rest);
    if (findings.bootSector) return KeepBootSector(context, number);
    if (findings.beginsDirectory && context.IsAligned(number) &&
        hits.exfatDirectoryStarts.size() < kMaxDirectorySectorHits) {
      hits.exfatDirectoryStarts.push_back(number);
    }
    if (findings.holdsRootEntries && hits.exfatRoots.size() < kMaxDirectorySectorHits) {
      hits.exfatRoots.push_back({number});
    }
    if ((findings.files != 0 || !findings.folders.empty()) && hits.exfatEntrySectors.size() < kMaxDirectorySectorHits) {
      hits.exfatEntrySectors.push_back(number);
    }
    hits.filesFound += findings.files;
    for (ExfatFolderHit& folder : findings.folders) {
      if (hits.exfatFolders.size() >= kMaxExfatFolderHits) break;
      folder.sector = number;
      hits.exfatFolders.push_back(std::move(folder));
      ++hits.foldersFound;
    }
    if (!findings.folders.empty()) ui.SetPanelValue(panel::kFoldersFound, std::to_string(hits.foldersFound));
    if (findings.files != 0) ui.SetPanelValue(panel::kFilesFound, std::to_string(hits.filesFound));
    return true;
  });
}

void SweepNtfs(SweepContext& context) {
  HitLists& hits = context.hits;
  UiPort& ui = context.ui;
  Sweep(context, false, [&](Bytes sector, SectorNumber number, Bytes) {
    switch (ClassifyNtfsSector(sector)) {
      case NtfsSectorKind::bootSector:
        if (!context.IsAligned(number)) break;
        hits.bootSectors.push_back({number});
        ++hits.bootSectorsFound;
        ui.SetPanelValue(panel::kBootSectorsFound, std::to_string(hits.bootSectorsFound));
        break;
      case NtfsSectorKind::fileRecord:
        RecordMftHit(context.reader, number, hits);
        ui.SetPanelValue(panel::kFoldersFound, std::to_string(hits.foldersFound));
        ui.SetPanelValue(panel::kFilesFound, std::to_string(hits.filesFound));
        break;
      case NtfsSectorKind::indexBlock:
        RecordIndexBlockHit(context.reader, number, sector, hits);
        ui.SetPanelValue(panel::kIndexEntriesFound, std::to_string(hits.indexBlocksFound));
        break;
      case NtfsSectorKind::signedOther:
      case NtfsSectorKind::other:
        break;
    }
    return true;
  });
}

}  // namespace salvex
