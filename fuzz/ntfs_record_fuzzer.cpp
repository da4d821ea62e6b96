// The input is one or more 1024-byte MFT records (the last padded with
// zeros): each repaired by its fixups, then every lookup the record scan and
// the deep scan make on it, and the run-list readers from every offset.

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "fuzz_support.h"
#include "ntfs/fixups.h"
#include "ntfs/mft_record.h"
#include "ntfs/mft_run_list.h"
#include "ntfs/run_list.h"
#include "ntfs/volume_extent.h"

using namespace salvex;

namespace {

using Record = std::array<std::uint8_t, kMftRecordSize>;

// A record name is at most 255 UTF-16 units, each at most 3 bytes of UTF-8.
constexpr std::size_t kLongestNameBytes = 255 * 3;
constexpr std::size_t kMaxAttributeListRecords = 50;
constexpr std::uint32_t kSectorsPerCluster = 8;

void CheckFixups(Record& record) {
  const Record before = record;
  ApplyFixups(record);
  for (std::size_t i = 0; i < record.size(); ++i) {
    FUZZ_CHECK(record[i] == before[i] || i % kSectorSize >= kSectorSize - 2);
  }
  // The saved bytes come from the header, which fixups never write: a second
  // pass must find the same values.
  const Record once = record;
  ApplyFixups(record);
  FUZZ_CHECK(record == once);
}

void CheckNames(const Record& record) {
  for (std::uint8_t nameSpace = 0; nameSpace <= ntfs::kWin32AndDos; ++nameSpace) {
    const std::optional<FileNameInfo> name = FindFileName(record, nameSpace);
    if (!name) continue;
    FUZZ_CHECK(fuzz::IsValidUtf8(name->name));
    FUZZ_CHECK(name->name.size() <= kLongestNameBytes);
  }
}

void CheckAttributeList(const Record& record) {
  const std::uint32_t number = u32le(record, 44);
  std::vector<std::uint32_t> holders = CollectAttributeListRecords(record, number);
  FUZZ_CHECK(!holders.empty() && holders.front() == number);
  FUZZ_CHECK(holders.size() <= kMaxAttributeListRecords);
  // Each holder is read once, however often the list names it.
  std::sort(holders.begin(), holders.end());
  FUZZ_CHECK(std::adjacent_find(holders.begin(), holders.end()) == holders.end());
}

// Record n against the runs walked one by one.
std::uint64_t SectorOfRecord(const MftRunList& list, std::uint64_t recordNumber) {
  std::uint64_t runStart = 0;
  for (const MftRunList::Run& run : list.Runs()) {
    const std::uint64_t slot = 2 * recordNumber;
    if (slot < runStart + run.lengthSectors) return run.sparse ? 0 : run.startSector + (slot - runStart);
    runStart += run.lengthSectors;
  }
  return 0;
}

// The MFT's runs as the record scan builds them from this record, looked up
// by binary search, against a linear walk.
void CheckMftRunList(const std::vector<EncodedRun>& encoded) {
  MftRunList list;
  std::uint64_t start = 0;
  std::uint64_t total = 0;
  std::vector<std::uint64_t> probes{0};
  for (const EncodedRun& run : encoded) {
    const std::uint64_t length = run.clusterCount * kSectorsPerCluster;
    // Lengths that wrap the total have no sector order to compare against.
    if (run.clusterCount > UINT64_MAX / kSectorsPerCluster || total > UINT64_MAX - length) return;
    if (!run.IsSparse()) start += static_cast<std::uint64_t>(run.SignedOffset()) * kSectorsPerCluster;
    list.Append({run.IsSparse() ? 0 : start, length, run.IsSparse()});
    total += length;
    for (const std::uint64_t slot : {total - std::min<std::uint64_t>(total, 2), total, total + 2}) {
      probes.push_back(slot / 2);
    }
  }
  FUZZ_CHECK(list.TotalSectors() == total);
  for (const std::uint64_t recordNumber : probes) {
    if (recordNumber > UINT64_MAX / 2) continue;
    FUZZ_CHECK(list.RecordToSector(recordNumber) == SectorOfRecord(list, recordNumber));
  }
}

// Every stream listed is found again by its name, with a size.
void CheckStreams(const Record& record) {
  const std::vector<std::string> names = FindDataStreamNames(record);
  FUZZ_CHECK(names.size() <= kMaxDataStreams);
  for (const std::string& name : names) {
    FUZZ_CHECK(!name.empty() && name[0] != '$');
    FUZZ_CHECK(FindDataSize(record, name).has_value());
    (void)FindDataAttribute(record, name);
  }
}

void CheckData(const Record& record) {
  CheckStreams(record);
  const DataAttribute data = FindDataAttribute(record);
  const std::optional<std::uint64_t> size = FindDataSize(record);
  // Both walk the attributes alike and stop at the same unnamed data
  // attribute; only one whose residence byte is neither 0 nor 1 has a size
  // but no kind.
  FUZZ_CHECK(size || data.kind == DataKind::none);
  if (data.kind == DataKind::none) return;
  FUZZ_CHECK(data.offset < kMftRecordSize - 1);
  FUZZ_CHECK(*size == (data.kind == DataKind::nonResident ? u64le(record, data.offset + 48)
                                                           : u32le(record, data.offset + 16)));
  if (data.kind != DataKind::nonResident) return;

  const std::size_t position = data.offset + u16le(record, data.offset + 32);
  const std::optional<std::vector<DataRun>> runs = DecodeDataRuns(record, data.offset);
  FUZZ_CHECK(runs.has_value() == (position < kMftRecordSize));
  if (!runs) return;
  // Every run takes a header byte and at least one field byte.
  FUZZ_CHECK(runs->size() <= (kMftRecordSize - position) / 2);
  const std::vector<EncodedRun> encoded = ReadRunList(record, position);
  FUZZ_CHECK(encoded.size() == runs->size());
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    FUZZ_CHECK((*runs)[i].clusterCount == encoded[i].clusterCount);
    FUZZ_CHECK((*runs)[i].sparse == encoded[i].IsSparse());
    FUZZ_CHECK(!(*runs)[i].sparse || (*runs)[i].firstCluster == 0);
  }
  CheckMftRunList(encoded);
  // A volume of 1000 clusters bounds what the file may be listed at; a run
  // that passes its end marks the file.
  constexpr std::uint64_t kVolumeClusters = 1000;
  const VolumeBoundSize bound = BoundToVolume(record, *size, kVolumeClusters, kSectorsPerCluster);
  FUZZ_CHECK(bound.size <= kVolumeClusters * kSectorsPerCluster * kSectorSize);
  bool passesTheEnd = *size > kVolumeClusters * kSectorsPerCluster * kSectorSize;
  for (const DataRun& run : *runs) {
    passesTheEnd |= !run.sparse && (run.firstCluster >= kVolumeClusters || run.clusterCount > kVolumeClusters - run.firstCluster);
  }
  FUZZ_CHECK(bound.beyondVolume == passesTheEnd);
}

bool SameRuns(const EncodedRun& a, const EncodedRun& b) {
  return a.clusterCount == b.clusterCount && a.offsetWidth == b.offsetWidth && a.rawOffset == b.rawOffset;
}

// A run list read from offset p is its first run followed by the list read
// from just past that run.
void CheckRunListsFromEveryOffset(const Record& record) {
  std::vector<std::vector<EncodedRun>> from(kMftRecordSize + 1);
  for (std::size_t p = kMftRecordSize; p-- > 0;) {
    from[p] = ReadRunList(record, p);
    const std::vector<EncodedRun>& runs = from[p];
    FUZZ_CHECK(runs.size() <= (kMftRecordSize - p) / 2);
    if (runs.empty()) continue;
    const unsigned lengthWidth = record[p] & 0x0F;
    const unsigned offsetWidth = record[p] >> 4;
    FUZZ_CHECK(runs.front().offsetWidth == offsetWidth && lengthWidth <= 8 && offsetWidth <= 8);
    FUZZ_CHECK(offsetWidth == 8 || runs.front().rawOffset >> (8 * offsetWidth) == 0);
    FUZZ_CHECK(lengthWidth == 8 || runs.front().clusterCount >> (8 * lengthWidth) == 0);
    const std::size_t next = p + 1 + lengthWidth + offsetWidth;
    FUZZ_CHECK(next <= kMftRecordSize);
    const std::vector<EncodedRun>& rest = from[next];
    FUZZ_CHECK(rest.size() == runs.size() - 1);
    FUZZ_CHECK(std::equal(rest.begin(), rest.end(), runs.begin() + 1, SameRuns));
  }
  FUZZ_CHECK(ReadRunList(record, kMftRecordSize).empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (std::size_t offset = 0; offset < size; offset += kMftRecordSize) {
    Record record{};
    std::memcpy(record.data(), data + offset, std::min(kMftRecordSize, size - offset));
    CheckFixups(record);
    CheckNames(record);
    CheckAttributeList(record);
    FindIndexRootOwner(record);
    FindIndexAllocationStart(record);
    CheckData(record);
    CheckRunListsFromEveryOffset(record);
  }
  return 0;
}
