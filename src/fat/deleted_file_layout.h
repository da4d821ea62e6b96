#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "items/items.h"

namespace salvex {

// Which clusters no deleted file can be read from: those the FAT gives to
// files and folders, and those other items hold.
class ClusterOccupancy {
 public:
  virtual ~ClusterOccupancy() = default;
  // How many of the `count` clusters from `first` are taken.
  virtual std::uint64_t CountTaken(std::uint64_t first, std::uint64_t count) const = 0;
};

// A deleted file whose chain is cleared: where it starts, and how many
// clusters its size needs.
struct DeletedFileStart {
  std::uint32_t firstCluster = 0;
  std::uint64_t clusters = 0;
  // Its entry's write time, in seconds: files written in turns were written
  // together, and end within kWrittenTogetherSeconds of each other.
  std::int64_t writtenAt = 0;
};

inline constexpr std::int64_t kWrittenTogetherSeconds = 60;

// The clusters worked out for one file, in order; empty when they could not
// all be placed before `limit` (it is then read as before, from consecutive
// clusters).
struct DeletedFileLayout {
  std::vector<ClusterRun> runs;
  // It started while another file still needed clusters: which of them
  // took the clusters between is a guess, even where its own came in one run.
  bool contested = false;
};

// Works out where the bytes of deleted files lie, all of them together, as
// the FAT's first-free allocator would have put them: every free cluster
// from the first deleted file on goes to the next file due, in cluster
// order, so the runs ascend, never meet, skip taken clusters, and leave
// every first cluster to its own file (but see below). A file that starts
// while others still need clusters takes turns with them, cluster by
// cluster, when it starts right after one of them began and was written
// at the same time (two files written together),
// unless the file alone before it is free over its whole run and every file
// that starts inside that run ends inside it too: it was written over them
// after they were deleted, takes its run whole, and leaves them no layout;
// otherwise it is written whole when its own clusters fit before the next
// file's first one, and the others go on after it. Files not written
// together never take turns: the one that started first is written to its
// end before the next goes on. A file alone is simply written whole. `files` is sorted by first cluster, each first cluster
// free and once; `limit` is one past the last cluster. Each decision looks
// at one file's own stretch: the pass is linear in the files and in the
// clusters given out. `stop` ends it early, with no layout for any file.
std::vector<DeletedFileLayout> InferDeletedFileLayouts(std::span<const DeletedFileStart> files,
                                                       const ClusterOccupancy& taken, std::uint64_t limit,
                                                       const std::atomic<bool>* stop = nullptr);

}  // namespace salvex
