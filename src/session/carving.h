#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "carve/carve_area.h"
#include "carve/carve_format.h"
#include "carve/carved_file.h"
#include "carve/entry_names.h"
#include "items/folder_tree_model.h"
#include "platform/host_folder.h"
#include "platform/ui_port.h"
#include "session/outcome.h"
#include "session/session.h"

namespace salvex {

// What to carve, as a front end asks: a partition (from 1), a sector range
// (the end not included), or with neither the whole disk; the families
// (by the names --types takes; none: all); every sector or only a
// volume's free clusters; and whether files that start where a live file
// the scan lists does are carved too.
struct CarveRequest {
  std::optional<unsigned> partition;
  std::optional<std::uint64_t> start;
  std::optional<std::uint64_t> end;
  std::vector<std::string> types;
  bool allSpace = false;
  bool includeListed = false;
};

// A carve made ready: what is read, in which grain, and what the scan of
// the volume (when there is one) knows of its files.
struct CarvePlan {
  CarveArea area;
  FamilySet families = kAllFamilies;
  ListedFiles listed;
  bool includeListed = false;
  std::string description;  // what is carved, in a line
  Outcome outcome;
};

// The names --types takes, comma-separated, for messages.
std::string CarveTypeNames();

// Chooses the range, and for a partition that holds a FAT or exFAT volume
// runs the Standard Scan (Stop ends it) to learn its clusters, its free
// ones and its files; a partition whose volume cannot be read is carved
// sector by sector, with a warning. Fails on an unknown type, a partition
// that does not exist, or a range off the disk.
CarvePlan PrepareCarve(Session& session, const CarveRequest& request, UiPort& ui);

// One file the carve found, and what became of it.
struct CarvedRecord {
  std::string path;        // where it was written, under the destination
  std::string family;
  std::string extension;
  std::uint64_t size = 0;
  std::uint64_t firstByte = 0;
  std::vector<ByteRange> pieces;
  Soundness soundness = Soundness::whole;
  CarveCut cut = CarveCut::none;
  bool joined = false;
  bool embedded = false;
  std::string entryPath;   // the deleted file whose name it took; empty if none
  std::uint32_t unreadableSectors = 0;
  std::vector<FileSpan> damagedSpans;  // of a damaged file kept whole, from its first byte
  std::string error;       // why it could not be written; empty when it was
};

struct CarveSummary {
  std::vector<CarvedRecord> files;
  std::uint32_t filesWritten = 0;
  std::uint64_t bytesWritten = 0;
  std::uint32_t failed = 0;
  std::uint64_t bytesPassed = 0;
  std::uint64_t bytesTotal = 0;
  bool stopped = false;
};

// Carves the plan's area and writes each file as it is found into
// `destination` (CarvedFilePath: a deleted entry's folders and name, else
// "<type>/<name>"; "name (2).ext" where a name is taken), with its entry's
// write time. Progress, rate and time left go to the UI port's status line
// and progress; `stop` ends it after the file in hand, and what was found
// is written. Runs on the caller's thread.
CarveSummary CarveFiles(Session& session, const CarvePlan& plan, const HostFolder& destination, UiPort& ui,
                        const std::atomic<bool>& stop);

// "intact", "unchecked", "unjudged" or "partial".
const char* CarveVerdictName(Soundness soundness);
// "damaged", "live clusters", "another file's start", "end of range"; "" for none.
const char* CarveCutName(CarveCut cut);

}  // namespace salvex
