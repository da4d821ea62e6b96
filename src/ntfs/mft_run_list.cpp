#include "ntfs/mft_run_list.h"

#include <algorithm>
#include <array>

#include "common/sector.h"
#include "ntfs/attribute_list.h"
#include "ntfs/fixups.h"
#include "ntfs/mft_record.h"
#include "ntfs/run_list.h"

namespace salvex {
namespace {

using Record = std::array<std::uint8_t, kMftRecordSize>;

constexpr std::size_t kAttributeWalkLimit = 1024;

// Turns a record's run list into MFT runs: the first run counts from the
// volume's cluster 0, the others from the last run that was not sparse.
class MftRunDecoder {
 public:
  MftRunDecoder(std::uint64_t volumeStart, std::uint32_t sectorsPerCluster, MftRunList& runList)
      : volumeStart_(volumeStart), sectorsPerCluster_(sectorsPerCluster), runList_(runList) {}

  void Decode(Bytes record, std::size_t position) {
    std::uint64_t lastStart = volumeStart_;
    for (const EncodedRun& encoded : ReadRunList(record, position)) {
      MftRunList::Run run;
      run.lengthSectors = encoded.clusterCount * sectorsPerCluster_;
      if (encoded.IsSparse()) {
        run.sparse = true;
      } else {
        const auto step = static_cast<std::uint64_t>(encoded.SignedOffset());
        run.startSector = lastStart + step * sectorsPerCluster_;
        lastStart = run.startSector;
      }
      runList_.Append(run);
    }
  }

 private:
  std::uint64_t volumeStart_;
  std::uint32_t sectorsPerCluster_;
  MftRunList& runList_;
};

// The offset of the first attribute whose type's low byte is `typeLow`, or
// nothing.
std::optional<std::size_t> FindAttributeByLowByte(Bytes record, std::uint8_t typeLow) {
  std::size_t offset = u16le(record, 20);
  while (offset + 8 <= kAttributeWalkLimit) {
    const std::uint32_t type = u32le(record, offset);
    if (type == 0 || type == ntfs::kEndOfAttributes) return std::nullopt;
    if ((type & 0xFF) == typeLow) return offset;
    const std::uint16_t length = u16le(record, offset + 4);
    if (length == 0) return std::nullopt;
    offset += length;
  }
  return std::nullopt;
}

// The records that hold pieces of the MFT's data attribute, in list order.
std::vector<std::uint32_t> DataHoldersOf(SectorReader& reader, Bytes record, std::size_t listOffset,
                                         std::uint64_t volumeStart, std::uint32_t sectorsPerCluster) {
  const std::vector<std::uint8_t> list = ReadAttributeList(reader, record, listOffset, volumeStart, sectorsPerCluster);
  std::vector<std::uint32_t> holders;
  for (const AttributeListEntry& entry : ParseAttributeList(list)) {
    if ((entry.type & 0xFF) == ntfs::kData) holders.push_back(entry.record);
  }
  return holders;
}

}  // namespace

void MftRunList::Clear() {
  runs_.clear();
  runEnds_.clear();
}

void MftRunList::Append(const Run& run) {
  runs_.push_back(run);
  runEnds_.push_back(TotalSectors() + run.lengthSectors);
}

std::uint64_t MftRunList::RecordToSector(std::uint64_t recordNumber) const {
  const std::uint64_t slot = 2 * recordNumber;
  const auto end = std::upper_bound(runEnds_.begin(), runEnds_.end(), slot);
  if (end == runEnds_.end()) return 0;
  const auto index = static_cast<std::size_t>(end - runEnds_.begin());
  const Run& run = runs_[index];
  if (run.sparse) return 0;
  const std::uint64_t runStart = index == 0 ? 0 : runEnds_[index - 1];
  return run.startSector + (slot - runStart);
}

void ReadMftRecord(SectorReader& reader, std::uint64_t sector, std::span<std::uint8_t> record) {
  ReadSectorsZeroed(reader, sector, 2, record);
  ApplyFixups(record.first(kMftRecordSize));
}

namespace {

void LoadFrom(SectorReader& reader, std::uint64_t volumeStart, std::uint64_t mftStart, std::uint32_t sectorsPerCluster,
              bool checkRoot, MftRunList& runList) {
  runList.Clear();
  Record record{};
  if (checkRoot) {
    ReadMftRecord(reader, mftStart + 10, record);
    if (!IsFileRecord(record)) return;  // record 5, the root folder
  }
  ReadMftRecord(reader, mftStart, record);
  if (!checkRoot && !IsFileRecord(record)) return;

  MftRunDecoder decoder(volumeStart, sectorsPerCluster, runList);
  const auto data = FindAttributeByLowByte(record, ntfs::kData);
  if (data) decoder.Decode(record, *data + u16le(record, *data + 32));

  const auto list = FindAttributeByLowByte(record, ntfs::kAttributeList);
  if (!list) return;
  const std::vector<std::uint32_t> holders = DataHoldersOf(reader, record, *list, volumeStart, sectorsPerCluster);
  if (holders.empty()) return;
  // A fragmented MFT: its run list is spread over the listed records, each
  // found through the runs read so far.
  runList.Clear();
  for (const std::uint32_t holder : holders) {
    const std::uint64_t sector = holder == 0 ? mftStart : runList.RecordToSector(holder);
    if (sector == 0) break;
    ReadMftRecord(reader, sector, record);
    const auto holderData = FindAttributeByLowByte(record, ntfs::kData);
    if (holderData) decoder.Decode(record, *holderData + u16le(record, *holderData + 32));
  }
}

}  // namespace

void LoadMftRunList(SectorReader& reader, std::uint64_t volumeStart, std::uint64_t mftStart,
                    std::uint32_t sectorsPerCluster, MftRunList& runList) {
  LoadFrom(reader, volumeStart, mftStart, sectorsPerCluster, true, runList);
}

void LoadMftRunListOf(SectorReader& reader, const VolumeParameters& volume, MftRunList& runList) {
  if (volume.mftStart != 0 || volume.mftMirrStart == 0) {
    LoadMftRunList(reader, volume.clusterBase, volume.mftStart, volume.sectorsPerCluster, runList);
  } else {
    LoadFrom(reader, volume.clusterBase, volume.mftMirrStart, volume.sectorsPerCluster, false, runList);
  }
}

}  // namespace salvex
