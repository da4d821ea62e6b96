#include "session/recovery_report.h"

#include "content/intact_check.h"
#include "items/item_paths.h"
#include "items/volume_kind.h"
#include "platform/whole_file.h"
#include "recovery/recovery_admission.h"
#include "session/item_bytes.h"

namespace salvex {
namespace {

constexpr unsigned kMaxReportCopies = 1000;

// Each doubt an item's fields can record, by the name the report gives it.
// A new mark of the store is one more line here.
template <typename Kind>
std::vector<std::string> MarksOf(const typename Kind::File& file) {
  const struct {
    bool marked;
    const char* name;
  } marks[] = {
      {Kind::Overwritten(file), "overwritten"},
      {Kind::FragmentInferred(file), "fragment inferred"},
      {Kind::ClusterInferred(file), "first cluster inferred"},
      {Kind::ChainAssumed(file), "chain assumed"},
      {!Kind::ConflictsWith(file).empty(), "conflict"},
      {Kind::BeyondVolume(file), "beyond the volume"},
      {!Kind::Recoverable(file), "not recoverable"},
      {Kind::NameIncomplete(file), "name incomplete"},
      {Kind::Carved(file) && Kind::Carved(file)->verdict == CarvedVerdict::partial &&
           Kind::Carved(file)->damagedSpans.empty(),
       "partial"},
      {Kind::Carved(file) && Kind::Carved(file)->joined, "pieced together"},
      {Kind::Carved(file) && !Kind::Carved(file)->damagedSpans.empty(), "damaged ranges"},
  };
  std::vector<std::string> names;
  for (const auto& mark : marks) {
    if (mark.marked) names.emplace_back(mark.name);
  }
  return names;
}

std::string ResultText(const RecoveredFile& file) {
  switch (file.outcome) {
    case ExtractionOutcome::written:
      return "written";
    case ExtractionOutcome::notStarted:
      return "not started";
    case ExtractionOutcome::refusedByFilter:
      return "left out by the file filters";
    case ExtractionOutcome::refusedByDeletedMode:
      return "left out by the deleted-file setting";
    case ExtractionOutcome::skippedDuplicate:
      return "skipped: a file of its name exists";
    case ExtractionOutcome::creationFailed:
    case ExtractionOutcome::writeFailed:
    case ExtractionOutcome::noData:
      return "failed: " + file.error;
    case ExtractionOutcome::interrupted:
      return "cut short";
    case ExtractionOutcome::empty:
      return "empty: nothing to write";
    case ExtractionOutcome::notRecoverable:
      return "not recoverable: " + file.error;
  }
  return {};
}

// Whether the file written at `path` holds together as its kind says; empty
// for a kind not judged, a file too large, or one that cannot be read back.
std::string IntactText(const std::string& name, const std::string& path) {
  std::string error;
  const auto head = ReadRegularFile(path, kIntactCheckLimit, error,
                                    HeadCheck{16, [&name](std::span<const std::uint8_t> start) -> std::string {
                                                // Not one of the kinds judged: not worth reading whole.
                                                return CheckedKindOf(name, start) == CheckedKind::none ? "not judged" : "";
                                              }});
  if (!head) return {};
  const std::optional<bool> intact = LooksIntact(name, head->bytes);
  if (!intact) return {};
  return *intact ? "yes" : "no";
}

template <typename Kind>
std::vector<std::string> Lines(const Session& session, const FolderTreeModel& tree, const RecoverySummary& summary) {
  const ItemPaths<Kind> paths(session.items, tree);
  const auto& files = Kind::Files(session.items).Items();
  std::vector<std::string> lines{kRecoveryReportHeader};
  lines.reserve(summary.files.size() + 1);
  for (const RecoveredFile& record : summary.files) {
    if (record.position >= files.size()) continue;
    const auto& file = files[record.position];
    std::vector<std::string> marks = MarksOf<Kind>(file);
    if (record.unreadableSectors > 0) marks.push_back(std::to_string(record.unreadableSectors) + " unread sectors");
    if (!record.chainDamage.empty()) marks.push_back("chain partly guessed");
    const bool written = record.outcome == ExtractionOutcome::written;
    const std::string intact = written ? IntactText(file.name, record.hostPath) : "";
    if (intact == "no") marks.push_back("not intact");
    std::string joined;
    for (const std::string& mark : marks) joined += (joined.empty() ? "" : "; ") + mark;
    const auto path = paths.FilePath(record.position);
    const std::string fields[] = {
        "/" + (path ? *path : SafeHostName(file.name)),
        std::to_string(file.size),
        file.deleted ? "yes" : "no",
        joined,
        intact,
        ResultText(record),
        written || record.outcome == ExtractionOutcome::interrupted ? record.hostPath : "",
    };
    std::string line;
    for (const std::string& field : fields) line += (line.empty() ? "" : ",") + CsvField(field);
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace

std::vector<std::string> FileMarks(const ItemStore& store, bool ntfs, std::uint32_t position) {
  if (ntfs) {
    return position < store.NtfsFiles().Size() ? MarksOf<NtfsKind>(store.NtfsFiles().Items()[position])
                                               : std::vector<std::string>{};
  }
  return position < store.FatFiles().Size() ? MarksOf<FatKind>(store.FatFiles().Items()[position])
                                            : std::vector<std::string>{};
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::vector<std::string> RecoveryReportLines(const Session& session, const FolderTreeModel& tree,
                                             const RecoverySummary& summary) {
  return session.volume.fsType == FsType::ntfs ? Lines<NtfsKind>(session, tree, summary)
                                               : Lines<FatKind>(session, tree, summary);
}

std::optional<std::string> WriteRecoveryReport(const Session& session, const FolderTreeModel& tree,
                                               const RecoverySummary& summary, const HostFolder& folder,
                                               const std::string& name, bool replace, std::string& error) {
  const std::string wanted = SafeHostName(name.empty() ? kRecoveryReportName : name);
  std::string chosen = wanted;
  if (!replace && folder.Exists(chosen)) {
    const auto free = FirstFreeDuplicateName(wanted, kMaxReportCopies,
                                             [&folder](const std::string& taken) { return folder.Exists(taken); });
    if (!free) {
      error = "no free name for the report beside " + folder.PathOf(wanted);
      return std::nullopt;
    }
    chosen = *free;
  }
  bool taken = false;
  std::unique_ptr<OutputFile> file =
      replace ? folder.CreateFile(chosen, error) : folder.CreateNewFile(chosen, taken, error);
  if (!file) {
    if (taken) error = folder.PathOf(chosen) + " was taken as the report was written";
    return std::nullopt;
  }
  for (const std::string& line : RecoveryReportLines(session, tree, summary)) {
    const std::string row = line + "\n";
    if (!file->Write({reinterpret_cast<const std::uint8_t*>(row.data()), row.size()})) break;
  }
  if (!file->Close()) {
    error = "cannot write the report " + folder.PathOf(chosen);
    return std::nullopt;
  }
  return folder.PathOf(chosen);
}

}  // namespace salvex
