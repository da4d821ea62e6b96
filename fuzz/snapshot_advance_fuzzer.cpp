// The input is an advance-scan snapshot file (.RS2): read back, the hits
// must come sorted and unclassified with their counters set, written again
// they must read back the same, and the classification then runs on them
// over the input itself as the disk.

#include <algorithm>

#include "deepscan/found_file_system.h"
#include "fuzz_support.h"
#include "snapshot/advance_snapshot.h"
#include "snapshot/snapshot_bytes.h"
#include "session/advance_scan.h"

using namespace salvex;

namespace {

template <typename Hit>
bool Ascending(const std::vector<Hit>& hits) {
  return std::is_sorted(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.sector < b.sector; });
}

template <typename Hit>
std::vector<SectorNumber> Sectors(const std::vector<Hit>& hits) {
  std::vector<SectorNumber> sectors;
  for (const Hit& hit : hits) sectors.push_back(hit.sector);
  return sectors;
}

// Whether any sector number the file stores needs more than 32 bits.
bool NeedsWideSectors(const AdvanceSnapshot& snapshot) {
  const HitLists& hits = snapshot.hits;
  std::vector<SectorNumber> all = {snapshot.range.rangeStart, snapshot.range.rangeSize, snapshot.range.rangeEnd};
  const auto add = [&](const std::vector<SectorNumber>& more) { all.insert(all.end(), more.begin(), more.end()); };
  add(Sectors(hits.bootSectors));
  const FsType type = snapshot.range.selectedFsType;
  if (type == FsType::ntfs) {
    add(Sectors(hits.indexBlocks));
    add(Sectors(hits.mftFolders));
    add(Sectors(hits.mftFiles));
  } else {
    add(Sectors(hits.folderClusters));
  }
  if (type == FsType::exfat) {
    add(Sectors(hits.exfatFolders));
    add(Sectors(hits.exfatRoots));
    add(hits.exfatDirectoryStarts);
    add(hits.exfatEntrySectors);
  }
  return std::any_of(all.begin(), all.end(), [](SectorNumber sector) { return sector > UINT32_MAX; });
}

void CheckRead(const AdvanceSnapshot& snapshot) {
  const HitLists& hits = snapshot.hits;
  FUZZ_CHECK(Ascending(hits.bootSectors) && Ascending(hits.folderClusters) && Ascending(hits.mftFolders) &&
             Ascending(hits.mftFiles) && Ascending(hits.indexBlocks) && Ascending(hits.exfatFolders) &&
             Ascending(hits.exfatRoots));
  FUZZ_CHECK(std::is_sorted(hits.exfatDirectoryStarts.begin(), hits.exfatDirectoryStarts.end()) &&
             std::is_sorted(hits.exfatEntrySectors.begin(), hits.exfatEntrySectors.end()));
  FUZZ_CHECK(hits.bootSectorsFound == hits.bootSectors.size());
  FUZZ_CHECK(hits.indexBlocksFound == hits.indexBlocks.size());
  const FsType type = snapshot.range.selectedFsType;
  if (type != FsType::exfat) {
    FUZZ_CHECK(hits.filesFound == hits.mftFiles.size());
    FUZZ_CHECK(hits.exfatFolders.empty() && hits.exfatDirectoryStarts.empty() && hits.exfatRoots.empty() &&
               hits.exfatEntrySectors.empty());
  }
  if (type == FsType::ntfs) {
    FUZZ_CHECK(hits.foldersFound == hits.mftFolders.size());
    FUZZ_CHECK(hits.folderClusters.empty());
  } else if (type == FsType::exfat) {
    FUZZ_CHECK(hits.foldersFound == hits.exfatFolders.size());
    FUZZ_CHECK(hits.mftFolders.empty() && hits.mftFiles.empty() && hits.indexBlocks.empty());
  } else {
    FUZZ_CHECK(hits.foldersFound == hits.folderClusters.size());
    FUZZ_CHECK(hits.mftFolders.empty() && hits.mftFiles.empty() && hits.indexBlocks.empty());
  }
  for (const FolderClusterHit& hit : hits.folderClusters) FUZZ_CHECK(hit.candidate == kUnclaimed);
  for (const MftFolderHit& hit : hits.mftFolders) {
    FUZZ_CHECK(hit.candidate == kUnclaimed);
    FUZZ_CHECK(hit.name.size() <= kMaxSnapshotNameBytes && fuzz::IsValidUtf8(hit.name));
  }
  for (const MftFileHit& hit : hits.mftFiles) {
    FUZZ_CHECK(hit.name.size() <= kMaxSnapshotNameBytes && fuzz::IsValidUtf8(hit.name));
  }
  for (const ExfatFolderHit& hit : hits.exfatFolders) {
    FUZZ_CHECK(hit.candidate == kUnclaimed);
    FUZZ_CHECK(hit.name.size() <= kMaxSnapshotNameBytes && fuzz::IsValidUtf8(hit.name));
  }
  for (const ExfatRootHit& hit : hits.exfatRoots) FUZZ_CHECK(hit.candidate == kUnclaimed);
}

void CheckWrittenAgain(const AdvanceSnapshot& snapshot) {
  ScanState scan;
  ApplyRange(snapshot.range, scan);
  const std::vector<std::uint8_t> written = EncodeAdvanceSnapshot(scan, snapshot.hits);
  AdvanceSnapshot again;
  try {
    again = DecodeAdvanceSnapshot(written);
  } catch (const SnapshotError& error) {
    std::fprintf(stderr, "a snapshot written from a loaded one is refused: %s\n", error.what());
    std::abort();
  }
  // Already sorted and unclassified: the same bytes once more.
  FUZZ_CHECK(EncodeAdvanceSnapshot(scan, again.hits) == written);
  // The older layout whenever every sector fits it, the wide one else.
  const std::string_view header(reinterpret_cast<const char*>(written.data()), kAdvanceSnapshotHeadBytes);
  FUZZ_CHECK((header == "Brimora Salvex 5.00") == NeedsWideSectors(snapshot));
  FUZZ_CHECK(again.range == snapshot.range);
  FUZZ_CHECK(Sectors(again.hits.bootSectors) == Sectors(snapshot.hits.bootSectors));
  FUZZ_CHECK(Sectors(again.hits.folderClusters) == Sectors(snapshot.hits.folderClusters));
  FUZZ_CHECK(Sectors(again.hits.mftFiles) == Sectors(snapshot.hits.mftFiles));
  FUZZ_CHECK(again.hits.exfatFolders == snapshot.hits.exfatFolders);
  FUZZ_CHECK(again.hits.exfatDirectoryStarts == snapshot.hits.exfatDirectoryStarts);
  FUZZ_CHECK(again.hits.exfatRoots == snapshot.hits.exfatRoots);
  FUZZ_CHECK(again.hits.exfatEntrySectors == snapshot.hits.exfatEntrySectors);
  FUZZ_CHECK(again.hits.filesFound == snapshot.hits.filesFound);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  AdvanceSnapshot snapshot;
  try {
    snapshot = DecodeAdvanceSnapshot(Bytes(data, size));
  } catch (const SnapshotError&) {
    return 0;
  }
  CheckRead(snapshot);
  CheckWrittenAgain(snapshot);

  Session session;
  fuzz::OpenInput(session, data, size);
  ApplyRange(snapshot.range, session.scan);
  session.deepScan.hits = std::move(snapshot.hits);
  SilentUiPort ui;
  ClassifyLoadedHits(session.reader, session.scan, ui, session.deepScan);
  // Any other type code reads as the FAT variant, but no classification runs for it.
  const FsType type = session.scan.selectedFsType;
  const DeepScanState& state = session.deepScan;
  if (type == FsType::fat16 || type == FsType::fat32) {
    for (const FolderClusterHit& hit : state.hits.folderClusters) {
      FUZZ_CHECK(hit.candidate == kUnplaced || (hit.candidate >= 1 && hit.candidate <= state.found.size()));
    }
  }
  if (type == FsType::exfat) {
    for (const ExfatFolderHit& hit : state.hits.exfatFolders) {
      FUZZ_CHECK(hit.candidate == kUnplaced || (hit.candidate >= 1 && hit.candidate <= state.found.size()));
    }
  }
  const std::size_t highest = std::max<std::size_t>(1, state.found.size());
  for (const MftFolderHit& hit : state.hits.mftFolders) {
    FUZZ_CHECK(hit.candidate == kUnplaced || hit.candidate <= highest);
  }
  return 0;
}
