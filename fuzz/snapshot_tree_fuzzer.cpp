// The input is a tree snapshot file (.RSNP): read, applied to a fresh store,
// written again, and read back. What was accepted once must be accepted
// again, with the same items.

#include <algorithm>
#include <string_view>

#include "fuzz_support.h"
#include "snapshot/snapshot_bytes.h"
#include "snapshot/tree_snapshot.h"

using namespace salvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TreeSnapshot snapshot;
  try {
    snapshot = DecodeTreeSnapshot(Bytes(data, size));
  } catch (const SnapshotError&) {
    return 0;
  }
  const bool found = std::any_of(snapshot.files.begin(), snapshot.files.end(),
                                 [](const FatFileItem& file) { return file.carved != nullptr; });
  // Records come with a FAT or exFAT volume, or with files found on no volume.
  FUZZ_CHECK(HoldsFatRecords(snapshot.volume.fsType) || snapshot.volume.fsType == FsType::none ||
             (snapshot.folders.empty() && snapshot.files.empty()));
  for (const FatFileItem& file : snapshot.files) {
    if (!file.carved) continue;
    FUZZ_CHECK(!file.carved->extents.empty());
    for (const DiskExtent& extent : file.carved->extents) FUZZ_CHECK(extent.length <= UINT64_MAX - extent.first);
  }
  for (const FatFolderItem& folder : snapshot.folders) {
    FUZZ_CHECK(folder.name.size() <= kMaxSnapshotNameBytes && fuzz::IsValidUtf8(folder.name));
  }
  for (const FatFileItem& file : snapshot.files) {
    FUZZ_CHECK(file.name.size() <= kMaxSnapshotNameBytes && fuzz::IsValidUtf8(file.name));
  }

  ScanState scan;
  VolumeParameters volume;
  ItemStore store;
  ApplyTreeSnapshot(snapshot, scan, volume, store);
  FUZZ_CHECK(store.FatFiles().Size() == snapshot.files.size());
  FUZZ_CHECK(store.FatFolders().Size() <= snapshot.folders.size());
  FUZZ_CHECK(store.counters.fileCount == snapshot.files.size());
  FUZZ_CHECK(store.counters.folderCount == store.FatFolders().Size());
  for (std::uint32_t i = 0; i < store.FatFiles().Size(); ++i) FUZZ_CHECK(store.FatFiles().Items()[i].id == i);

  const std::vector<std::uint8_t> written = EncodeTreeSnapshot(scan, volume, store);
  TreeSnapshot again;
  try {
    again = DecodeTreeSnapshot(written);
  } catch (const SnapshotError& error) {
    std::fprintf(stderr, "a snapshot written from a loaded one is refused: %s\n", error.what());
    std::abort();
  }
  FUZZ_CHECK(again.volume == snapshot.volume);
  FUZZ_CHECK(again.range == snapshot.range);
  // Version 2.x, with 64-bit sectors, only when some sector needs them;
  // x.1 only with found files.
  const VolumeParameters& v = snapshot.volume;
  const SectorRange& r = snapshot.range;
  const bool wide = std::max({r.rangeStart, r.rangeSize, r.rangeEnd, v.clusterBase, v.fat1Start, v.fat2Start,
                              v.mftStart, v.mftMirrStart, v.volumeEnd}) > UINT32_MAX;
  const std::string_view version(reinterpret_cast<const char*>(written.data()) + 7, 3);
  FUZZ_CHECK(version == (wide ? (found ? "2.1" : "2.0") : (found ? "1.1" : "1.0")));
  FUZZ_CHECK(again.folders.size() == store.FatFolders().Size());
  FUZZ_CHECK(again.files.size() == snapshot.files.size());
  for (std::size_t i = 0; i < again.files.size(); ++i) {
    FUZZ_CHECK(again.files[i].name == snapshot.files[i].name);
    FUZZ_CHECK(again.files[i].size == snapshot.files[i].size);
    FUZZ_CHECK(again.files[i].deleted == snapshot.files[i].deleted);
    FUZZ_CHECK((again.files[i].carved == nullptr) == (snapshot.files[i].carved == nullptr));
    if (again.files[i].carved) FUZZ_CHECK(*again.files[i].carved == *snapshot.files[i].carved);
  }
  for (std::size_t i = 0; i < again.folders.size(); ++i) {
    FUZZ_CHECK(again.folders[i].name == store.FatFolders().Items()[i].name);
    FUZZ_CHECK(again.folders[i].firstCluster == store.FatFolders().Items()[i].firstCluster);
  }
  return 0;
}
