#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "carve/carve_area.h"
#include "carve/carve_format.h"
#include "carve/carve_pass.h"
#include "carve/carve_reader.h"
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

// The same over the range the scan state holds already (the window's
// partition or whole disk; the request's range fields are not read): a FAT
// or exFAT range is read as its volume, any other range sector by sector.
// The scan that learns the volume keeps its counts and boxes to itself, so
// that the panel counts what the search finds. The session's volume is
// that volume's afterwards, or none.
CarvePlan PrepareCarveOfChosenRange(Session& session, const CarveRequest& request, UiPort& ui);

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
  std::uint16_t entryWriteDate = 0;  // that file's DOS write date and time
  std::uint16_t entryWriteTime = 0;
  bool inLiveClusters = false;  // it starts in clusters a live file or folder holds
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

// Carves the plan's area, handing each file to `found` as the pass finds
// it, with the reader the pass reads through (the file's bytes are likely
// in its cache). Progress, rate and time left go to the UI port's status
// line and progress; `stop` ends it after the file in hand. Runs on the
// caller's thread.
using CarvedFileHandler = std::function<void(const CarvedFile& file, CarveReader& disk)>;
CarvePassResult SearchByContent(Session& session, const CarvePlan& plan, UiPort& ui, const std::atomic<bool>& stop,
                                const CarvedFileHandler& found);

// What the pass found, written nowhere: a record per file whose path is
// where it would be written (CarvedFilePath), and whose pieces say where its
// bytes lie. The panel counts the files and names the last one.
CarveSummary FindCarvedFiles(Session& session, const CarvePlan& plan, UiPort& ui, const std::atomic<bool>& stop);

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
