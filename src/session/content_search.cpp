#include "session/content_search.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "carve/carve_area.h"
#include "carve/carve_reader.h"
#include "common/letter_case.h"
#include "common/utf.h"
#include "session/item_bytes.h"
#include "session/scans.h"

namespace salvex {

bool NamesEveryFile(std::string_view pattern) { return pattern.empty() || pattern == "*"; }

int ContentSearchProgress::Percent() const {
  if (total == 0) return 0;
  const std::uint64_t part = std::min(done, total);
  return static_cast<int>(total < UINT64_MAX / 100 ? part * 100 / total : part / (total / 100));
}

namespace {

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) { return b > UINT64_MAX - a ? UINT64_MAX : a + b; }

// Counts the bytes looked through and tells the front end a thousandth at a
// time, not at every piece: millions of small files make millions of pieces.
class ProgressCounter {
 public:
  ProgressCounter(const ContentSearchCallbacks& callbacks, std::uint64_t total)
      : callbacks_(callbacks), progress_{0, total}, step_(std::max<std::uint64_t>(1, total / 1000)) {}

  void Add(std::uint64_t bytes) {
    progress_.done = SaturatingAdd(progress_.done, bytes);
    if (progress_.done - shown_ < step_ || !callbacks_.onProgress) return;
    shown_ = progress_.done;
    callbacks_.onProgress(progress_);
  }
  void Finish() {
    if (callbacks_.onProgress) callbacks_.onProgress({progress_.total, progress_.total});
  }

 private:
  const ContentSearchCallbacks& callbacks_;
  ContentSearchProgress progress_;
  std::uint64_t step_;
  std::uint64_t shown_ = 0;
};

class ContentSearch {
 public:
  ContentSearch(Session& session, const FolderTreeModel& tree, const ContentSearchRequest& request,
                const std::atomic<bool>& stop, const ContentSearchCallbacks& callbacks)
      : session_(session),
        request_(request),
        stop_(stop),
        callbacks_(callbacks),
        matcher_(request.text),
        rows_(session.items, tree, ItemsAreNtfs(session)) {}

  ContentSearchSummary Run() {
    if (!matcher_.Valid() || !session_.reader.IsOpen()) return summary_;
    const std::vector<std::uint32_t> files = SelectFiles();
    std::uint64_t total = 0;
    for (const std::uint32_t position : files) total = SaturatingAdd(total, SizeOf(position));
    std::optional<CarveArea> area;
    if (NamesEveryFile(request_.pattern) && !Stopped()) area = FreeArea();
    if (area) total = SaturatingAdd(total, area->OpenBytes());
    ProgressCounter progress(callbacks_, total);
    for (const std::uint32_t position : files) {
      if (Stopped()) break;
      SearchFile(position, progress);
    }
    if (area && !Stopped()) SearchFreeSpace(*area, progress);
    summary_.stopped = Stopped();
    if (!summary_.stopped) progress.Finish();
    return summary_;
  }

 private:
  bool Stopped() const { return stop_.load(std::memory_order_relaxed); }

  std::uint64_t SizeOf(std::uint32_t position) const {
    return ItemsAreNtfs(session_) ? session_.items.NtfsFiles().Items()[position].size
                                  : session_.items.FatFiles().Items()[position].size;
  }

  std::vector<std::uint32_t> SelectFiles() const {
    std::vector<std::uint32_t> files;
    const bool every = NamesEveryFile(request_.pattern);
    const std::u32string upperPattern = UpperCase(DecodeUtf8(request_.pattern));
    const std::uint32_t count = rows_.FileCount();
    for (std::uint32_t position = 0; position < count && !Stopped(); ++position) {
      if (SizeOf(position) == 0) continue;
      if (every || rows_.NameMatches(position, upperPattern)) files.push_back(position);
    }
    return files;
  }

  void Report(FoundFileRow row) {
    ++found_;
    if (callbacks_.onHit) callbacks_.onHit(row, found_);
  }

  void SearchFile(std::uint32_t position, ProgressCounter& progress) {
    TextHit hit;
    matcher_.Reset(0);
    const auto onHit = [&hit](std::uint64_t offset) {
      if (hit.count == 0) hit.offset = offset;
      ++hit.count;
    };
    const ByteSink sink = [&](Bytes piece) {
      matcher_.Feed(piece, onHit);
      progress.Add(piece.size());
      // The run's own flag also ends a chain being followed.
      if (Stopped()) run_.stopSaving = true;
      return !Stopped();
    };
    const ItemBytes read = StreamRequestBytes(session_, ItemRequestOf(session_, position), sink, run_);
    ++summary_.filesRead;
    summary_.unreadableSectors += read.unreadableSectors;
    if (matcher_.Position() == 0 && !read.error.empty()) {
      if (summary_.filesNotRead++ == 0) summary_.firstNotReadReason = read.error;
    }
    // A file cut short still counts for the bytes it was expected to have.
    if (matcher_.Position() < SizeOf(position) && !Stopped()) progress.Add(SizeOf(position) - matcher_.Position());
    if (hit.count == 0) return;
    FoundFileRow row = rows_.Row(position);
    row.text = hit;
    Report(std::move(row));
  }

  // The volume's free clusters, when its allocation says which they are.
  std::optional<CarveArea> FreeArea() {
    const FsType type = session_.volume.fsType;
    if (!IsFatType(type) && type != FsType::exfat) {
      summary_.freeSpaceNote = "free space is searched on FAT and exFAT volumes only";
      return std::nullopt;
    }
    SilentUiPort ui;
    VolumeContext context = session_.Volume(ui);
    std::optional<CarveArea> area = VolumeArea(context, true, summary_.freeSpaceNote);
    if (!area && summary_.freeSpaceNote.empty()) {
      summary_.freeSpaceNote = "the volume's clusters cannot be placed: its free space is not searched";
    }
    return area;
  }

  // Each stretch of free clusters is one stream: a text is not taken to run
  // on across a live cluster. Hits in clusters that follow one another make
  // one row.
  void SearchFreeSpace(const CarveArea& area, ProgressCounter& progress) {
    CarveReader disk(session_.reader);
    std::optional<std::uint64_t> block;  // the last cluster of the row being gathered
    TextHit hit;
    const auto flush = [&] {
      if (!block) return;
      FoundFileRow row;
      row.reachable = false;
      row.text = hit;
      Report(std::move(row));
      block.reset();
    };
    const auto onHit = [&](std::uint64_t offset) {
      const std::uint64_t start = area.BlockStart(offset);
      if (block && start - *block <= area.blockBytes) {
        ++hit.count;
        block = start;
        return;
      }
      flush();
      block = start;
      hit = TextHit{offset % kSectorSize, 1, offset / kSectorSize};
    };
    for (ByteRange run = area.OpenRunFrom(area.first); run.start < area.end && !Stopped();
         run = area.OpenRunFrom(run.end)) {
      matcher_.Reset(run.start);
      for (std::uint64_t at = run.start; at < run.end && !Stopped();) {
        // Within one of the reader's blocks, so that no piece is copied.
        const std::uint64_t blockEnd = (at / CarveReader::kBlockBytes + 1) * CarveReader::kBlockBytes;
        const Bytes piece = disk.Read(at, static_cast<std::size_t>(std::min(run.end, blockEnd) - at));
        if (piece.empty()) break;
        matcher_.Feed(piece, onHit);
        progress.Add(piece.size());
        at += piece.size();
      }
    }
    flush();
    summary_.freeSpaceSearched = !Stopped();
    summary_.unreadableSectors += disk.UnreadableIn(area.first, area.end);
  }

  Session& session_;
  const ContentSearchRequest& request_;
  const std::atomic<bool>& stop_;
  const ContentSearchCallbacks& callbacks_;
  TextMatcher matcher_;
  const FoundRows rows_;
  // One run for every file: the FAT sectors read for one chain serve the next.
  RecoveryRunState run_;
  ContentSearchSummary summary_;
  std::size_t found_ = 0;
};

}  // namespace

ContentSearchSummary SearchContents(Session& session, const FolderTreeModel& tree,
                                    const ContentSearchRequest& request, const std::atomic<bool>& stop,
                                    const ContentSearchCallbacks& callbacks) {
  return ContentSearch(session, tree, request, stop, callbacks).Run();
}

}  // namespace salvex
