#include "fat/deleted_file_layout.h"

#include <algorithm>
#include <deque>

namespace salvex {
namespace {

constexpr std::uint32_t kNobody = UINT32_MAX;
// Files a run taken whole may hold; more are not looked at.
constexpr std::uint32_t kMaxNested = 64;

class Allocator {
 public:
  Allocator(std::span<const DeletedFileStart> files, const ClusterOccupancy& taken, std::uint64_t limit)
      : files_(files),
        taken_(taken),
        limit_(limit),
        layouts_(files.size()),
        remaining_(files.size()),
        swallowed_(files.size(), false),
        takesTurns_(files.size(), false) {
    for (std::size_t i = 0; i < files.size(); ++i) remaining_[i] = std::max<std::uint64_t>(1, files[i].clusters);
  }

  // Gives the free clusters before `end` to the files still writing, in
  // turns, until none is left writing.
  void Serve(std::uint64_t end) {
    while (!writing_.empty() && cursor_ < end) {
      cursor_ = NextFree(cursor_, end);
      if (cursor_ >= end) break;
      const std::uint32_t file = writing_.front();
      writing_.pop_front();
      // One file alone, or written apart from the next in turn, takes a
      // whole free stretch at once.
      const bool turns = !writing_.empty() && takesTurns_[file] && takesTurns_[writing_.front()];
      const std::uint64_t count = turns ? std::uint64_t{1} : std::min(remaining_[file], FreeStretch(cursor_, end));
      Give(file, cursor_, count);
      cursor_ += count;
      if (remaining_[file] == 0) continue;
      // Taking turns, it waits for the others; else it goes on at the next
      // free stretch before any of them.
      if (turns) {
        writing_.push_back(file);
      } else {
        writing_.push_front(file);
      }
    }
    if (writing_.empty()) cursor_ = std::max(cursor_, end);
  }

  void Start(std::uint32_t file) {
    if (swallowed_[file]) return;
    const std::uint64_t first = files_[file].firstCluster;
    cursor_ = first;
    const bool alone = writing_.empty();
    if (alone && TakesWholeRun(file)) return;
    const std::uint32_t partner = lastGivenFirstOf_;
    const bool together = !alone && partner != kNobody && remaining_[partner] > 0 && Together(file, partner);
    Give(file, first, 1);
    cursor_ = first + 1;
    lastGivenFirstOf_ = file;
    if (remaining_[file] == 0) return;
    layouts_[file].contested = !alone;
    if (together) {
      // Files written together take turns, cluster by cluster.
      takesTurns_[file] = takesTurns_[partner] = true;
      writing_.push_back(file);
    } else {
      // A file that starts where another would have gone on was there
      // first: it is written on, as far as it goes, before that one.
      writing_.push_front(file);
    }
  }

  // A file alone whose own run is free and holds the later files that start
  // in it whole was written after they were deleted, over them: it takes
  // the run, and they (read from their own first clusters) are left to be
  // marked where they meet it. Files written in turns never nest so, as the
  // one that started second always ends past the first one's run.
  bool TakesWholeRun(std::uint32_t file) {
    const std::uint64_t first = files_[file].firstCluster;
    const std::uint64_t end = first + remaining_[file];
    if (end > limit_) return false;
    std::uint32_t inside = file + 1;
    for (; inside < files_.size() && files_[inside].firstCluster < end; ++inside) {
      // Bounded, so that the pass stays linear in the files.
      if (inside - file > kMaxNested) return false;
      if (files_[inside].firstCluster + std::max<std::uint64_t>(1, files_[inside].clusters) > end) return false;
    }
    if (inside == file + 1 || FreeCount(first, end) != remaining_[file]) return false;
    Give(file, first, remaining_[file]);
    cursor_ = end;
    for (std::uint32_t other = file + 1; other < inside; ++other) swallowed_[other] = true;
    return true;
  }

  std::vector<DeletedFileLayout> Finish() {
    Serve(limit_);
    // Files that the volume's end cut short are read as before.
    for (const std::uint32_t file : writing_) layouts_[file].runs.clear();
    return std::move(layouts_);
  }

 private:
  void Give(std::uint32_t file, std::uint64_t first, std::uint64_t count) {
    std::vector<ClusterRun>& runs = layouts_[file].runs;
    if (!runs.empty() && std::uint64_t{runs.back().first} + runs.back().count == first) {
      runs.back().count += static_cast<std::uint32_t>(count);
    } else {
      runs.push_back({static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(count)});
    }
    remaining_[file] -= count;
    lastGivenFirstOf_ = kNobody;
  }

  bool Together(std::uint32_t a, std::uint32_t b) const {
    const std::int64_t apart = files_[a].writtenAt - files_[b].writtenAt;
    return apart <= kWrittenTogetherSeconds && apart >= -kWrittenTogetherSeconds;
  }

  std::uint64_t FreeCount(std::uint64_t first, std::uint64_t end) const {
    return first >= end ? 0 : end - first - taken_.CountTaken(first, end - first);
  }

  // The longest length from `first` (at most up to `end`) over which
  // CountTaken is `none ? 0 : length`: a stretch all free or all taken.
  std::uint64_t Stretch(std::uint64_t first, std::uint64_t end, bool free) const {
    const auto uniform = [&](std::uint64_t length) {
      const std::uint64_t count = taken_.CountTaken(first, length);
      return free ? count == 0 : count == length;
    };
    if (first >= end || !uniform(1)) return 0;
    // Doubling, then halving: a few dozen questions for any length.
    const std::uint64_t most = end - first;
    std::uint64_t good = 1;
    std::uint64_t bad = 0;  // a length known not to be uniform, once one is
    for (std::uint64_t step = 1; good < most; step *= 2) {
      const std::uint64_t next = std::min(good + step, most);
      if (!uniform(next)) {
        bad = next;
        break;
      }
      good = next;
    }
    while (bad > good + 1) {
      const std::uint64_t middle = good + (bad - good) / 2;
      if (uniform(middle)) {
        good = middle;
      } else {
        bad = middle;
      }
    }
    return good;
  }

  std::uint64_t FreeStretch(std::uint64_t first, std::uint64_t end) const { return Stretch(first, end, true); }
  std::uint64_t NextFree(std::uint64_t from, std::uint64_t end) const { return from + Stretch(from, end, false); }

  std::span<const DeletedFileStart> files_;
  const ClusterOccupancy& taken_;
  std::uint64_t limit_;
  std::vector<DeletedFileLayout> layouts_;
  std::vector<std::uint64_t> remaining_;
  std::vector<bool> swallowed_;        // inside a file's run that took it whole: no layout of their own
  std::vector<bool> takesTurns_;       // started together with a file then writing
  std::deque<std::uint32_t> writing_;  // files that still need clusters, in turn order
  std::uint64_t cursor_ = 0;           // the next cluster not yet given out
  // The file whose first cluster was the last one given, if nothing came after.
  std::uint32_t lastGivenFirstOf_ = kNobody;
};

}  // namespace

std::vector<DeletedFileLayout> InferDeletedFileLayouts(std::span<const DeletedFileStart> files,
                                                       const ClusterOccupancy& taken, std::uint64_t limit,
                                                       const std::atomic<bool>* stop) {
  Allocator allocator(files, taken, limit);
  for (std::uint32_t file = 0; file < files.size(); ++file) {
    if (stop && stop->load(std::memory_order_relaxed)) return std::vector<DeletedFileLayout>(files.size());
    allocator.Serve(files[file].firstCluster);
    allocator.Start(file);
  }
  return allocator.Finish();
}

}  // namespace salvex
