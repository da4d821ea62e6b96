#pragma once

#include <atomic>
#include <cstdint>

#include "carve/carve_area.h"
#include "carve/carve_format.h"
#include "carve/carve_reader.h"
#include "carve/carved_file.h"
#include "carve/entry_names.h"
#include "content/check_budget.h"

namespace salvex {

struct CarveSettings {
  FamilySet families = kAllFamilies;
  // The files the scan lists: deleted ones name what is found at their
  // first cluster; where a live one starts nothing is carved, unless
  // `includeListed`.
  const ListedFiles* listed = nullptr;
  bool includeListed = false;
  // Try to put together files found cut short from the free clusters after
  // them (JPEG).
  bool joinFragments = true;
};

struct CarveProgress {
  std::uint64_t bytesDone = 0;   // of the area's bytes to read, passed so far
  std::uint64_t bytesTotal = 0;
  std::uint32_t filesFound = 0;
};

// Where a carve's findings and progress go; called on the carving thread.
class CarveSink {
 public:
  virtual ~CarveSink() = default;
  virtual void Found(const CarvedFile& file) = 0;
  virtual void Progress(const CarveProgress& progress) = 0;
};

struct CarvePassResult {
  std::uint32_t filesFound = 0;
  std::uint64_t bytesPassed = 0;
  bool stopped = false;
};

// One pass over the area, front to back, a cache block at a time. At each
// sector (and, for the families rare enough, at each byte) the first-bytes
// table names the families that could start there; their header tests
// look closer, and the first family whose walk finds a file there takes
// it: whole (or unchecked, unjudged) up to the end its structure gives;
// cut short where the run of free clusters ends; damaged, cut at the
// block where its content stops holding together; a file whose payload
// has no check is cut at a sector that starts another file. A partial
// file keeps its sound start when that is at least kMinPartialBytes.
// The pass then goes on after the file: a sector inside a carved file is
// not a start (but files inside those that hold files are looked for at
// every byte). Stop is looked at after every block and inside long checks.
CarvePassResult RunCarvePass(CarveReader& disk, const CarveArea& area, const CarveSettings& settings, CarveSink& sink,
                             IntactCheckBudget& budget);

inline constexpr std::uint64_t kMinPartialBytes = 4096;

}  // namespace salvex
