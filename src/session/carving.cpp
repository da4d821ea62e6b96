#include "session/carving.h"

#include <chrono>
#include <map>
#include <memory>

#include "carve/carve_pass.h"
#include "carve/carve_reader.h"
#include "imaging/imaging_figures.h"
#include "items/item_paths.h"
#include "recovery/file_stamp.h"
#include "session/scans.h"
#include "session/volume_choice.h"

namespace salvex {
namespace {

// The scan that learns the volume is a means here: its boxes (a volume it
// cannot read) would say more than the carve's own warning, so they are
// kept back, and so are its counts where the panel is to count what the
// carve finds; everything else reaches the front end.
class WithoutBoxes final : public UiPort {
 public:
  explicit WithoutBoxes(UiPort& ui, bool keepPanel = true) : ui_(ui), keepPanel_(keepPanel) {}
  void SetPanelValue(std::string_view label, std::string_view value) override {
    if (keepPanel_) ui_.SetPanelValue(label, value);
  }
  void SetStatus(std::string_view text) override { ui_.SetStatus(text); }
  void ShowProgress(bool visible) override { ui_.ShowProgress(visible); }
  void SetProgress(int percent) override { ui_.SetProgress(percent); }
  void SetStopVisible(bool visible) override { ui_.SetStopVisible(visible); }
  void Notice(NoticeKind, std::string_view) override {}
  bool Confirm(std::string_view) override { return false; }

 private:
  UiPort& ui_;
  bool keepPanel_;
};

std::string SectorText(std::uint64_t bytes) { return std::to_string(bytes / kSectorSize); }

// The files of the scanned volume, by where their first cluster lies.
ListedFiles ListedFilesOf(const Session& session, const FolderTreeModel& tree) {
  ListedFiles listed;
  const FatItemPaths paths(session.items, tree);
  const auto& files = session.items.FatFiles().Items();
  for (std::uint32_t i = 0; i < files.size(); ++i) {
    const FatFileItem& file = files[i];
    if (file.firstCluster < 2 || file.noClusterFits || file.labelEntry) continue;
    const std::optional<std::string> path = paths.FilePath(i);
    if (!path) continue;
    ListedFile entry;
    entry.firstByte = std::uint64_t{session.volume.ClusterToSector(file.firstCluster)} * kSectorSize;
    entry.size = file.size;
    entry.path = *path;
    entry.writeDate = file.writeDate;
    entry.writeTime = file.writeTime;
    entry.deleted = file.deleted;
    listed.Add(std::move(entry));
  }
  return listed;
}

Outcome FamiliesOf(const std::vector<std::string>& types, FamilySet& families) {
  if (types.empty()) {
    families = kAllFamilies;
    return {};
  }
  families = 0;
  for (const std::string& type : types) {
    const CarveFormat* format = CarveFormatNamed(type);
    if (!format) return Outcome::Failed("no file type \"" + type + "\" is carved; the types are " + CarveTypeNames());
    families |= FamilyBit(*format);
  }
  return {};
}

enum class VolumePlan { planned, unreadable, stopped };

// A partition whose volume is read: its clusters, with what the scan knows.
VolumePlan PlanVolume(Session& session, const CarveRequest& request, UiPort& ui, CarvePlan& plan,
                      bool keepPanel = true) {
  if (!IsFatType(session.scan.selectedFsType) && session.scan.selectedFsType != FsType::exfat) {
    return VolumePlan::unreadable;
  }
  WithoutBoxes quiet(ui, keepPanel);
  FolderTreeModel tree;
  const StandardScanOutcome scanned = StandardScan(session, quiet, tree, FolderTreeModel::kRoot);
  if (scanned == StandardScanOutcome::stopped || scanned == StandardScanOutcome::abortedByUser) {
    return VolumePlan::stopped;
  }
  if (scanned != StandardScanOutcome::completed) return VolumePlan::unreadable;
  VolumeContext context = session.Volume(quiet);
  std::string note;
  std::optional<CarveArea> area = VolumeArea(context, !request.allSpace, note);
  if (!area) return session.scan.StopRequested() ? VolumePlan::stopped : VolumePlan::unreadable;
  if (!note.empty()) plan.outcome.warnings.push_back(note);
  plan.area = std::move(*area);
  plan.listed = ListedFilesOf(session, tree);
  plan.description = std::string(FsTypeText(session.volume.fsType)) + " volume, " +
                     (request.allSpace ? "every sector of sectors " + SectorText(plan.area.first) + " to " +
                                             SectorText(plan.area.end)
                                       : "its free clusters") +
                     ", in clusters of " + std::to_string(plan.area.blockBytes) + " bytes";
  return VolumePlan::planned;
}

}  // namespace

std::string CarveTypeNames() {
  std::string names;
  for (const CarveFormat& format : CarveFormats()) {
    if (!names.empty()) names += ", ";
    names += format.family;
  }
  return names;
}

CarvePlan PrepareCarveOfChosenRange(Session& session, const CarveRequest& request, UiPort& ui) {
  CarvePlan plan;
  plan.includeListed = request.includeListed;
  if (Outcome families = FamiliesOf(request.types, plan.families); !families.Ok()) {
    plan.outcome = families;
    return plan;
  }
  const ScanState& scan = session.scan;
  const std::uint64_t diskSectors = session.reader.Source()->SizeBytes() / kSectorSize;
  const std::uint64_t start = scan.rangeStart;
  if (start >= diskSectors) {
    plan.outcome = Outcome::Failed("sector " + std::to_string(start) + " lies past the end of the disk (" +
                                   std::to_string(diskSectors) + " sectors)");
    return plan;
  }
  if (scan.rangeSize == 0) {
    plan.outcome = Outcome::Failed("the partition chosen holds no sector");
    return plan;
  }
  const std::uint64_t end = std::min(diskSectors, start + std::min<std::uint64_t>(scan.rangeSize, diskSectors));
  const VolumePlan volume = PlanVolume(session, request, ui, plan, false);
  if (volume == VolumePlan::planned) return plan;
  if (volume == VolumePlan::stopped) {
    plan.outcome = Outcome::Failed("stopped before the volume was read");
    return plan;
  }
  if (IsFatType(scan.selectedFsType) || scan.selectedFsType == FsType::exfat) {
    plan.outcome.warnings.push_back("The volume could not be read: every sector of it is searched, and what is "
                                    "found is named by its content.");
  }
  // Read as sectors, not as a volume: no cluster of any volume is meant.
  session.volume = VolumeParameters{};
  plan.area = SectorArea(start, end);
  plan.description = "sectors " + std::to_string(start) + " to " + std::to_string(end) + ", every sector";
  return plan;
}

CarvePlan PrepareCarve(Session& session, const CarveRequest& request, UiPort& ui) {
  CarvePlan plan;
  plan.includeListed = request.includeListed;
  if (Outcome families = FamiliesOf(request.types, plan.families); !families.Ok()) {
    plan.outcome = families;
    return plan;
  }
  const std::uint64_t diskSectors = session.reader.Source()->SizeBytes() / kSectorSize;
  if (request.partition) {
    plan.outcome = ChoosePartition(session, *request.partition);
    if (!plan.outcome.Ok()) {
      // A partition no scan reads is still carved, sector by sector.
      const unsigned number = *request.partition;
      if (number == 0 || number > session.partitions.partitionCount) return plan;
      const PartitionRecord& record = session.partitions.records[number - 1];
      plan.outcome = {};
      plan.area = SectorArea(record.startSector, record.startSector + record.sectorCount);
      plan.description = "partition " + std::to_string(number) + ", every sector";
      return plan;
    }
    const VolumePlan volume = PlanVolume(session, request, ui, plan);
    if (volume == VolumePlan::planned) return plan;
    if (volume == VolumePlan::stopped) {
      plan.outcome = Outcome::Failed("stopped before the volume was read");
      return plan;
    }
    plan.outcome.warnings.push_back("the volume of partition " + std::to_string(*request.partition) +
                                    " could not be read: every sector of it is carved, without names");
    const ScanState& scan = session.scan;
    plan.area = SectorArea(scan.rangeStart, std::uint64_t{scan.rangeStart} + scan.rangeSize);
    plan.description = "partition " + std::to_string(*request.partition) + ", every sector";
    return plan;
  }
  const std::uint64_t start = request.start.value_or(0);
  const std::uint64_t end = std::min(request.end.value_or(diskSectors), diskSectors);
  if (start >= diskSectors || start >= end) {
    plan.outcome = Outcome::Failed("sectors " + std::to_string(start) + " to " + std::to_string(request.end.value_or(diskSectors)) +
                                   " hold nothing of the disk (" + std::to_string(diskSectors) + " sectors)");
    return plan;
  }
  if (request.end && *request.end > diskSectors) {
    plan.outcome.warnings.push_back("the range passes the end of the disk (" + std::to_string(diskSectors) +
                                    " sectors): it is carved up to there");
  }
  plan.area = SectorArea(start, end);
  plan.description = request.start || request.end
                         ? "sectors " + std::to_string(start) + " to " + std::to_string(end) + ", every sector"
                         : "the whole disk, every sector";
  return plan;
}

namespace {

CarvedRecord RecordOf(const CarvedFile& file, const CarveArea& area) {
  CarvedRecord record;
  record.family = std::string(file.format->family);
  record.extension = file.extension;
  record.size = file.size;
  record.firstByte = file.FirstByte();
  record.pieces = file.pieces;
  record.soundness = file.soundness;
  record.cut = file.cut;
  record.joined = file.joined;
  record.embedded = file.embedded;
  record.unreadableSectors = file.unreadableSectors;
  record.damagedSpans = file.damagedSpans;
  record.inLiveClusters = area.IsLive(record.firstByte);
  if (file.entry) {
    record.entryPath = file.entry->path;
    record.entryWriteDate = file.entry->writeDate;
    record.entryWriteTime = file.entry->writeTime;
  }
  return record;
}

// Hands what the pass finds on, and shows how far it is.
class SearchProgress final : public CarveSink {
 public:
  SearchProgress(CarveReader& disk, UiPort& ui, const CarvedFileHandler& found)
      : disk_(disk), ui_(ui), found_(found), started_(std::chrono::steady_clock::now()) {}

  void Found(const CarvedFile& file) override { found_(file, disk_); }

  void Progress(const CarveProgress& progress) override {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastShown_ < std::chrono::milliseconds(200)) return;
    lastShown_ = now;
    const double seconds = std::chrono::duration<double>(now - started_).count();
    std::string text = "Carving: " + ByteSize(progress.bytesDone) + " of " + ByteSize(progress.bytesTotal);
    // The rate is shown once it has had a moment to settle.
    if (seconds >= 2 && progress.bytesDone > 0) {
      const double rate = static_cast<double>(progress.bytesDone) / seconds;
      text += ", " + ByteSize(static_cast<std::uint64_t>(rate)) + "/s";
      const double left = static_cast<double>(progress.bytesTotal - progress.bytesDone) / rate;
      text += ", " + Duration(static_cast<std::uint64_t>(left)) + " left";
    }
    text += ", " + std::to_string(progress.filesFound) + " file(s) found";
    ui_.SetStatus(text);
    ui_.SetProgress(ProgressPercent(progress.bytesDone, progress.bytesTotal));
  }

 private:
  CarveReader& disk_;
  UiPort& ui_;
  const CarvedFileHandler& found_;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point lastShown_{};
};

// Writes each file found as it is found.
class CarveWriter {
 public:
  CarveWriter(const HostFolder& destination, UiPort& ui, CarveSummary& summary)
      : destination_(destination), ui_(ui), summary_(summary) {}

  void Found(const CarvedFile& file, CarveReader& disk, const CarveArea& area) {
    CarvedRecord record = RecordOf(file, area);
    Write(file, disk, record);
    ui_.SetPanelValue(panel::kFilesFound, std::to_string(summary_.files.size() + 1));
    ui_.SetPanelValue(panel::kLastItem, record.path);
    summary_.files.push_back(std::move(record));
  }

 private:
  // The folder at `path` under the destination ("" for the destination).
  const HostFolder* Folder(const std::string& path, std::string& error) {
    if (path.empty()) return &destination_;
    if (const auto found = folders_.find(path); found != folders_.end()) return found->second.get();
    const std::size_t slash = path.rfind('/');
    const HostFolder* parent = Folder(slash == std::string::npos ? "" : path.substr(0, slash), error);
    if (!parent) return nullptr;
    std::unique_ptr<HostFolder> folder =
        parent->OpenOrCreateSubfolder(SafeHostName(slash == std::string::npos ? path : path.substr(slash + 1)), error);
    if (!folder) return nullptr;
    return folders_.emplace(path, std::move(folder)).first->second.get();
  }

  void Write(const CarvedFile& file, CarveReader& disk, CarvedRecord& record) {
    const std::string wanted = CarvedFilePath(file);
    const std::size_t slash = wanted.rfind('/');
    const std::string folderPath = slash == std::string::npos ? "" : wanted.substr(0, slash);
    const std::string name = SafeHostName(slash == std::string::npos ? wanted : wanted.substr(slash + 1));
    const HostFolder* folder = Folder(folderPath, record.error);
    if (!folder) return Failed(record);
    std::unique_ptr<OutputFile> out;
    std::string chosen = name;
    const std::size_t dot = name.rfind('.');
    for (int copy = 2; !out && copy < 10000; ++copy) {
      bool taken = false;
      out = folder->CreateNewFile(chosen, taken, record.error);
      if (out) break;
      if (!taken) return Failed(record);
      chosen = SafeHostName(dot == std::string::npos || dot == 0
                                ? name + " (" + std::to_string(copy) + ")"
                                : name.substr(0, dot) + " (" + std::to_string(copy) + ")" + name.substr(dot));
    }
    if (!out) return Failed(record);
    record.path = folderPath.empty() ? chosen : folderPath + "/" + chosen;
    bool written = true;
    for (const ByteRange& piece : file.pieces) {
      for (std::uint64_t at = piece.start; at < piece.end && written;) {
        const Bytes bytes = disk.Read(at, static_cast<std::size_t>(std::min<std::uint64_t>(piece.end - at, CarveReader::kBlockBytes)));
        written = !bytes.empty() && out->Write(bytes);
        at += bytes.size();
      }
    }
    if (file.entry) {
      if (const auto stamp = FatFileStamp(PackFatFileTime(file.entry->writeDate, file.entry->writeTime))) {
        out->SetTimes(*stamp);
      }
    }
    written = out->Close() && written;
    if (!written) {
      folder->RemoveFile(chosen);
      record.error = "could not be written whole";
      return Failed(record);
    }
    ++summary_.filesWritten;
    summary_.bytesWritten += file.size;
  }

  void Failed(CarvedRecord& record) {
    if (record.error.empty()) record.error = "could not be created";
    ++summary_.failed;
  }

  const HostFolder& destination_;
  UiPort& ui_;
  CarveSummary& summary_;
  std::map<std::string, std::unique_ptr<HostFolder>> folders_;
};

}  // namespace

CarvePassResult SearchByContent(Session& session, const CarvePlan& plan, UiPort& ui, const std::atomic<bool>& stop,
                                const CarvedFileHandler& found) {
  CarveReader disk(session.reader);
  SearchProgress progress(disk, ui, found);
  CarveSettings settings;
  settings.families = plan.families;
  settings.listed = &plan.listed;
  settings.includeListed = plan.includeListed;
  IntactCheckBudget budget;
  budget.stop = &stop;
  ui.SetStopVisible(true);
  ui.ShowProgress(true);
  const CarvePassResult result = RunCarvePass(disk, plan.area, settings, progress, budget);
  ui.ShowProgress(false);
  ui.SetStopVisible(false);
  ui.SetStatus("");
  return result;
}

CarveSummary FindCarvedFiles(Session& session, const CarvePlan& plan, UiPort& ui, const std::atomic<bool>& stop) {
  CarveSummary summary;
  const CarvePassResult result = SearchByContent(session, plan, ui, stop, [&](const CarvedFile& file, CarveReader&) {
    CarvedRecord record = RecordOf(file, plan.area);
    record.path = CarvedFilePath(file);
    ui.SetPanelValue(panel::kFilesFound, std::to_string(summary.files.size() + 1));
    ui.SetPanelValue(panel::kLastItem, record.path);
    summary.files.push_back(std::move(record));
  });
  summary.stopped = result.stopped;
  summary.bytesPassed = result.bytesPassed;
  summary.bytesTotal = plan.area.OpenBytes();
  return summary;
}

CarveSummary CarveFiles(Session& session, const CarvePlan& plan, const HostFolder& destination, UiPort& ui,
                        const std::atomic<bool>& stop) {
  CarveSummary summary;
  CarveWriter writer(destination, ui, summary);
  const CarvePassResult result = SearchByContent(
      session, plan, ui, stop, [&](const CarvedFile& file, CarveReader& disk) { writer.Found(file, disk, plan.area); });
  summary.stopped = result.stopped;
  summary.bytesPassed = result.bytesPassed;
  summary.bytesTotal = plan.area.OpenBytes();
  return summary;
}

const char* CarveVerdictName(Soundness soundness) {
  switch (soundness) {
    case Soundness::whole: return "intact";
    case Soundness::unchecked: return "unchecked";
    case Soundness::unjudged: return "unjudged";
    case Soundness::notThisKind:
    case Soundness::cutShort:
    case Soundness::damaged: break;
  }
  return "partial";
}

const char* CarveCutName(CarveCut cut) {
  switch (cut) {
    case CarveCut::none: return "";
    case CarveCut::damaged: return "damaged";
    case CarveCut::liveClusters: return "live clusters";
    case CarveCut::otherFileStart: return "another file's start";
    case CarveCut::areaEnd: break;
  }
  return "end of range";
}

}  // namespace salvex
