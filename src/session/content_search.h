#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "items/folder_tree_model.h"
#include "search/find_files.h"
#include "search/text_matcher.h"
#include "session/session.h"

namespace salvex {

// What a search by content looks for, and where: the files whose names
// match `pattern` (as Find Files matches names); with no pattern (empty or
// "*") every file, and then the volume's free clusters as well, which no
// name can select.
struct ContentSearchRequest {
  std::string pattern;
  TextQuery text;
};

// Whether `pattern` leaves every file in, so that free space is searched too.
bool NamesEveryFile(std::string_view pattern);

// How far a search by content is, in bytes: those looked through so far,
// of those it means to look through (the files' sizes and the free space).
struct ContentSearchProgress {
  std::uint64_t done = 0;
  std::uint64_t total = 0;
  int Percent() const;
};

struct ContentSearchCallbacks {
  // A file that holds the text (one row, with its first hit and count), or
  // a stretch of free space that does (one row for clusters that hold it one
  // after the other, with the sector of its first hit: a deleted file full
  // of it is one row, not one per cluster), and how many rows so far.
  std::function<void(const FoundFileRow& row, std::size_t found)> onHit;
  // Called when progress has moved by a thousandth or more.
  std::function<void(const ContentSearchProgress& progress)> onProgress;
};

struct ContentSearchSummary {
  std::size_t filesRead = 0;
  // Files none of whose bytes could be read (no first cluster, a damaged
  // run list, compressed), with the first reason met.
  std::size_t filesNotRead = 0;
  std::string firstNotReadReason;
  std::uint64_t unreadableSectors = 0;  // read as zeros
  bool freeSpaceSearched = false;
  // What of the free space was not searched, or searched otherwise, and why.
  std::string freeSpaceNote;
  bool stopped = false;
};

// Reads the files the request selects, live and deleted, each through its
// clusters as a recovery would read it (its chain, or a deleted file's
// clusters as the scan placed them), in the store's order, and then, with
// no name pattern, the free clusters of a FAT or exFAT volume, each stretch
// of consecutive free clusters as one stream. Memory stays bounded: a file
// is looked through a piece at a time, never held. Raising `stop` (from any
// thread) ends it at the next piece; the rows reported so far stand. Runs on
// the caller's thread; the store must not change meanwhile.
ContentSearchSummary SearchContents(Session& session, const FolderTreeModel& tree,
                                    const ContentSearchRequest& request, const std::atomic<bool>& stop,
                                    const ContentSearchCallbacks& callbacks);

}  // namespace salvex
