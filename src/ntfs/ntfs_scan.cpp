#include "ntfs/ntfs_scan.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ntfs/attribute_list.h"
#include "ntfs/fixups.h"
#include "ntfs/mft_record.h"
#include "ntfs/volume_extent.h"

namespace salvex {
namespace {

using Record = std::array<std::uint8_t, kMftRecordSize>;

// Records are read this many sectors at a time; each is still judged alone.
constexpr std::uint64_t kChunkSectors = 128;

class NtfsScan {
 public:
  NtfsScan(VolumeContext& context, ItemStore& store, MftRunList& runList)
      : context_(context), store_(store), runList_(runList), ui_(context.ui) {}

  bool Run() {
    store_.ClearNtfsItems();
    context_.scan.stopRequested = false;
    const VolumeParameters& volume = context_.volume;
    LoadMftRunListOf(context_.reader, volume, runList_);
    ui_.SetStopVisible(true);
    ui_.SetProgress(0);
    ui_.ShowProgress(true);
    total_ = runList_.TotalSectors();
    for (const MftRunList::Run& run : runList_.Runs()) {
      if (Stopped()) break;
      ReadRun(run);
    }
    const bool completed = !Stopped();
    context_.scan.stopRequested = false;
    ui_.SetProgress(0);
    return completed;
  }

 private:
  bool Stopped() const { return context_.scan.StopRequested(); }

  void ReadRun(const MftRunList::Run& run) {
    // A run list from a damaged record can reach far past the disk: slots
    // there are counted (record numbers stay aligned) but not read.
    const std::uint64_t diskSectors = context_.reader.Source() ? context_.reader.Source()->SizeBytes() / kSectorSize : 0;
    const std::uint64_t readable =
        run.sparse || run.startSector >= diskSectors ? 0 : std::min(run.lengthSectors, diskSectors - run.startSector);
    std::vector<std::uint8_t> chunk;
    for (std::uint64_t first = 0; first < readable && !Stopped(); first += kChunkSectors) {
      const std::uint64_t sectors = std::min(kChunkSectors, readable - first);
      chunk.assign(static_cast<std::size_t>(sectors) * kSectorSize, 0);
      ReadSectorsZeroed(context_.reader, run.startSector + first, static_cast<std::uint32_t>(sectors), chunk);
      for (std::uint64_t i = 0; i < sectors && !Stopped(); i += 2) {
        const std::uint64_t sector = run.startSector + first + i;
        done_ += 2;
        ui_.SetPanelValue(panel::kCurrentSector, std::to_string(sector));
        Record record{};
        const std::size_t available = std::min<std::size_t>(kMftRecordSize, chunk.size() - i * kSectorSize);
        std::copy_n(chunk.begin() + static_cast<std::ptrdiff_t>(i * kSectorSize), available, record.begin());
        ReadRecord(record, sector);
        ++recordNumber_;
      }
    }
    if (Stopped()) return;
    // The slots past the disk's end still take their numbers. A read part
    // of odd length has already counted the slot it cut in half.
    done_ += run.lengthSectors - readable;
    recordNumber_ += (run.lengthSectors + 1) / 2 - (readable + 1) / 2;
  }

  void ReadRecord(Record& record, std::uint64_t sector) {
    if (!IsFileRecord(record)) return;
    // An extension record holds attributes of another record, which finds
    // them through its attribute list; it is not a file of its own.
    if (u64le(record, 0x20) != 0) return;
    ApplyFixups(record);
    std::vector<std::uint32_t> holders = CollectAttributeListRecords(record, static_cast<std::uint32_t>(recordNumber_));
    AddNonResidentListHolders(record, holders);
    const std::uint8_t flags = record[22];
    const std::optional<FileNameInfo> name = FindName(record, holders);
    if (!name) return;
    const auto number = static_cast<std::uint32_t>(recordNumber_);
    if (IsFolderRecord(flags)) {
      if (name->name == ".") return;  // the root's own record: its children hang from record 5
      store_.AddNtfsFolder(name->name, number, name->parentRecord, name->created, name->changed, 0, flags == 2,
                           context_.scan.scanType == ScanType::advance);
      ui_.SetPanelValue(panel::kFoldersFound, std::to_string(store_.counters.folderCount));
    } else {
      const DataLocation data = FindData(record, holders, sector, {});
      store_.AddNtfsFile(data.sector, name->name, number, name->parentRecord,
                         name->created, name->changed, data.size, flags == 0, data.transformed, data.beyondVolume);
      ++store_.counters.fileCount;
      // Its alternate data streams are listed beside it, as "NAME:STREAM".
      for (const std::string& stream : FindStreamNames(record, holders, sector)) {
        const DataLocation streamData = FindData(record, holders, sector, stream);
        store_.AddNtfsFile(streamData.sector, name->name + ":" + stream, number,
                           name->parentRecord, name->created, name->changed, streamData.size, flags == 0,
                           streamData.transformed, streamData.beyondVolume);
        store_.NtfsFiles().At(static_cast<std::uint32_t>(store_.NtfsFiles().Size() - 1)).stream = stream;
        ++store_.counters.fileCount;
      }
      ui_.SetPanelValue(panel::kFilesFound, std::to_string(store_.counters.fileCount));
    }
    ui_.SetPanelValue(panel::kLastItem, name->name);
    ui_.SetStatus("Reading Sector " + std::to_string(done_) + " Of " + std::to_string(total_));
    ui_.SetProgress(ProgressPercent(done_, total_));
  }

  // A file in very many pieces keeps its attribute list outside the record,
  // and its name and data in the records that list names.
  void AddNonResidentListHolders(const Record& record, std::vector<std::uint32_t>& holders) {
    const auto list = FindAttribute(record, ntfs::kAttributeList);
    if (!list || u8(record, *list + 8) != 1) return;
    const VolumeParameters& volume = context_.volume;
    const std::vector<std::uint8_t> bytes =
        ReadAttributeList(context_.reader, record, *list, volume.clusterBase, volume.sectorsPerCluster);
    // Each holder is read from the disk for the name and again for the data:
    // a damaged list may name thousands, so it gets the resident list's cap.
    for (const AttributeListEntry& entry : ParseAttributeList(bytes)) {
      if (holders.size() >= kMaxAttributeListRecords) break;
      if (std::find(holders.begin(), holders.end(), entry.record) == holders.end()) holders.push_back(entry.record);
    }
  }

  // Each record that holds attributes of this one, in list order: the record
  // itself from memory, the others read from the disk. Calls `visit` with the
  // record's bytes and sector until it returns true.
  template <typename Visit>
  void ForEachHolder(const Record& base, const std::vector<std::uint32_t>& holders, std::uint64_t baseSector,
                     Visit visit) {
    for (std::size_t i = 0; i < holders.size(); ++i) {
      if (i == 0) {
        if (visit(Bytes(base), baseSector)) return;
        continue;
      }
      const std::uint64_t sector = runList_.RecordToSector(holders[i]);
      if (sector == 0) continue;
      Record extension{};
      ReadMftRecord(context_.reader, sector, extension);
      if (visit(Bytes(extension), sector)) return;
    }
  }

  std::optional<FileNameInfo> FindName(const Record& record, const std::vector<std::uint32_t>& holders) {
    std::optional<FileNameInfo> found;
    ForEachHolder(record, holders, 0, [&](Bytes bytes, std::uint64_t) {
      found = FindPreferredFileName(bytes);
      return found.has_value();
    });
    return found;
  }

  struct DataLocation {
    std::uint64_t sector = 0;
    std::uint64_t size = 0;
    bool transformed = false;
    bool beyondVolume = false;
  };

  // The names of the file's data streams, from every record that holds its
  // attributes, each once.
  std::vector<std::string> FindStreamNames(const Record& record, const std::vector<std::uint32_t>& holders,
                                           std::uint64_t sector) {
    std::vector<std::string> names;
    ForEachHolder(record, holders, sector, [&](Bytes bytes, std::uint64_t) {
      for (std::string& name : FindDataStreamNames(bytes)) {
        if (names.size() >= kMaxDataStreams) return true;
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
      }
      return false;
    });
    return names;
  }

  // Where the data attribute named `stream` (or the unnamed one) is, or the
  // last record tried with size 0.
  DataLocation FindData(const Record& record, const std::vector<std::uint32_t>& holders, std::uint64_t sector,
                        std::string_view stream) {
    DataLocation location;
    ForEachHolder(record, holders, sector, [&](Bytes bytes, std::uint64_t holderSector) {
      location.sector = holderSector;
      const std::optional<std::uint64_t> size = FindDataSize(bytes, stream);
      if (!size) return false;
      const VolumeParameters& volume = context_.volume;
      const VolumeBoundSize bound = BoundToVolume(
          bytes, *size, NtfsVolumeClusters(volume, LastVolumeSector(volume, context_.scan)), volume.sectorsPerCluster,
          stream);
      location.size = bound.size;
      location.beyondVolume = bound.beyondVolume;
      const DataAttribute data = FindDataAttribute(bytes, stream);
      location.transformed = data.compressed || data.encrypted;
      return true;
    });
    return location;
  }

  VolumeContext& context_;
  ItemStore& store_;
  MftRunList& runList_;
  UiPort& ui_;
  std::uint64_t total_ = 0;
  std::uint64_t done_ = 0;
  std::uint64_t recordNumber_ = 0;
};

}  // namespace

bool ScanNtfsVolume(VolumeContext& context, ItemStore& store, MftRunList& runList) {
  return NtfsScan(context, store, runList).Run();
}

void LinkLostNtfsFolders(ItemStore& store, ScanState& scan, UiPort& ui, std::uint32_t& counter) {
  ui.SetStatus(kSearchingForLostData);
  ui.SetProgress(0);
  ui.ShowProgress(true);
  const auto linkParent = [&](std::uint32_t parent) {
    if (parent == kNtfsRootKey || store.FindNtfsFolder(parent)) return;
    store.AddNtfsFolder("Dir" + std::to_string(counter++), parent, kNtfsRootKey, 0, 0, 0, false, false);
  };
  // Folders added here are examined in turn; their parent is the root.
  for (std::size_t i = 0; i < store.NtfsFolders().Size() && !scan.StopRequested(); ++i) {
    linkParent(store.NtfsFolders().Items()[i].parentRecord);
    ui.SetProgress(ProgressPercent(i + 1, std::max<std::uint32_t>(1, store.counters.folderCount)));
  }
  if (scan.scanType == ScanType::standard) {
    for (std::size_t i = 0; i < store.NtfsFiles().Size() && !scan.StopRequested(); ++i) {
      linkParent(store.NtfsFiles().Items()[i].parentRecord);
    }
  }
  scan.stopRequested = false;
}

}  // namespace salvex
