// The .RS2 advance-scan snapshot, FAT, NTFS and exFAT variants: files laid out here
// field by field must read back as written (sorted by sector, unclassified),
// the writer must produce those bytes, and damaged files are refused.

#include "snapshot/advance_snapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/memory_disk_source.h"
#include "session/session.h"
#include "snapshot/snapshot_bytes.h"
#include "support/le_bytes_builder.h"
#include "support/recording_ui_port.h"
#include "session/advance_scan.h"

namespace salvex {
namespace {

using testing::LeBytes;

constexpr std::size_t kHeaderBytes = 19 + 16;  // "Brimora Salvex 4.03" and the range

// A sector number as the layout holds it: 64-bit in the wide one.
void PutSector(LeBytes& out, SectorNumber sector, bool wide) {
  if (wide) {
    out.U64(sector);
  } else {
    out.U32(static_cast<std::uint32_t>(sector));
  }
}

LeBytes Head(FsType type, const std::vector<SectorNumber>& boots, bool wide = false) {
  LeBytes out;
  out.Text(wide ? "Brimora Salvex 5.00" : "Brimora Salvex 4.03");
  out.U16(static_cast<std::uint16_t>(type));
  for (const SectorNumber field : {63, 200000, 200062}) PutSector(out, field, wide);
  out.U16(2);
  out.U32(static_cast<std::uint32_t>(boots.size()));
  for (const SectorNumber sector : boots) PutSector(out, sector, wide);
  return out;
}

// In file order, which is not sector order; every candidate is set, as a
// classification leaves them.
const std::vector<SectorNumber> kBoots = {900, 63, 400};
const std::vector<FolderClusterHit> kFolderClusters = {
    {5000, 20, 0, 0x4C85, 0x4C86, 2},
    {1200, 3, 0, 0x3021, 0x3022, kUnplaced},
    {3000, 10, 3, 0x1111, 0x2222, 1},
};

void PutFolderCluster(LeBytes& out, const FolderClusterHit& hit, bool wide = false) {
  PutSector(out, hit.sector, wide);
  out.U32(hit.cluster).U32(hit.parentCluster).U16(hit.writeDate).U16(hit.accessDate);
  out.U16(hit.candidate);
}

std::vector<std::uint8_t> FatFile(FsType type, const std::vector<SectorNumber>& boots,
                                  const std::vector<FolderClusterHit>& hits, bool wide = false) {
  LeBytes out = Head(type, boots, wide);
  out.U32(static_cast<std::uint32_t>(hits.size()));
  for (const FolderClusterHit& hit : hits) PutFolderCluster(out, hit, wide);
  return out.bytes;
}

const std::vector<IndexBlockHit> kIndexBlocks = {{900, 5, 0, 0x1234, 8}, {100, 40, 1, 0xFFFF, 2}};
const std::vector<MftFolderHit> kMftFolders = {
    {"Documents", 2000, 5, 40, 3, 0x01D0000000000001ull, 0x01D0000000000002ull, 77, false},
    {"Old", 1500, 40, 41, kUnplaced, 1, 2, 0, true},
};
const std::vector<MftFileHit> kMftFiles = {
    {"A", 3000, 40, 0x01D0000000000003ull, 0x01D0000000000004ull, 0x100000001ull, true},
    {"résumé.doc", 2500, 5, 5, 6, 0, false},
    {"", 2600, 5, 7, 8, 1, false},
};

void PutIndexBlock(LeBytes& out, const IndexBlockHit& block, bool wide) {
  PutSector(out, block.sector, wide);
  out.U32(block.ownerRecord).U32(block.vcn).U16(block.mark).U8(block.sectors);
}

void PutMftFolder(LeBytes& out, const MftFolderHit& folder, bool wide) {
  out.U16(static_cast<std::uint16_t>(folder.name.size() + (wide ? 39 : 35))).Text(folder.name);
  PutSector(out, folder.sector, wide);
  out.U32(folder.parentRecord).U32(folder.recordNumber).U16(folder.candidate);
  out.U64(folder.created).U64(folder.changed).U32(folder.indexCluster).U8(folder.deleted ? 1 : 0);
}

// Its length counts 31 bytes of fields, though 39 follow the name.
void PutMftFile(LeBytes& out, const MftFileHit& file, bool wide) {
  out.U16(static_cast<std::uint16_t>(file.name.size() + (wide ? 35 : 31))).Text(file.name);
  PutSector(out, file.sector, wide);
  out.U32(file.parentRecord).U32(0).U64(file.size).U16(0);
  out.U64(file.created).U64(file.changed).U8(file.deleted ? 1 : 0);
}

std::vector<std::uint8_t> NtfsFile(const std::vector<SectorNumber>& boots, const std::vector<IndexBlockHit>& blocks,
                                   const std::vector<MftFolderHit>& folders, const std::vector<MftFileHit>& files,
                                   bool wide = false) {
  LeBytes out = Head(FsType::ntfs, boots, wide);
  out.U32(static_cast<std::uint32_t>(blocks.size()));
  for (const IndexBlockHit& block : blocks) PutIndexBlock(out, block, wide);
  out.U32(static_cast<std::uint32_t>(folders.size()));
  for (const MftFolderHit& folder : folders) PutMftFolder(out, folder, wide);
  out.U32(static_cast<std::uint32_t>(files.size()));
  for (const MftFileHit& file : files) PutMftFile(out, file, wide);
  return out.bytes;
}

template <typename Hit>
std::vector<Hit> SortedBySector(std::vector<Hit> hits) {
  std::stable_sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.sector < b.sector; });
  return hits;
}

// The hits as a load gives them back: sorted by sector and claimed by no
// found file system yet.
template <typename Hit>
std::vector<Hit> Unclassified(std::vector<Hit> hits) {
  hits = SortedBySector(std::move(hits));
  for (Hit& hit : hits) hit.candidate = kUnclaimed;
  return hits;
}

std::vector<SectorNumber> Sectors(const auto& hits) {
  std::vector<SectorNumber> sectors;
  for (const auto& hit : hits) sectors.push_back(hit.sector);
  return sectors;
}

// The range every file here is written with.
SectorRange RangeFor(FsType type) { return {type, 63, 200000, 200062, 2}; }

std::vector<std::uint8_t> Encode(FsType type, const HitLists& hits) {
  ScanState scan;
  scan.selectedFsType = type;
  scan.rangeStart = 63;
  scan.rangeSize = 200000;
  scan.rangeEnd = 200062;
  scan.partitionIndex = 2;
  return EncodeAdvanceSnapshot(scan, hits);
}

TEST(AdvanceSnapshot, ReadsTheFatVariantSortedAndUnclassified) {
  for (const FsType type : {FsType::fat16, FsType::fat32}) {
    SCOPED_TRACE(FsTypeText(type));
    const AdvanceSnapshot snapshot = DecodeAdvanceSnapshot(FatFile(type, kBoots, kFolderClusters));
    EXPECT_EQ(snapshot.range, RangeFor(type));
    const HitLists& hits = snapshot.hits;
    EXPECT_EQ(Sectors(hits.bootSectors), (std::vector<SectorNumber>{63, 400, 900}));
    EXPECT_EQ(hits.folderClusters, Unclassified(kFolderClusters));
    EXPECT_EQ(hits.bootSectorsFound, 3u);
    EXPECT_EQ(hits.foldersFound, 3u);
    EXPECT_EQ(hits.filesFound, 0u);
    EXPECT_EQ(hits.indexBlocksFound, 0u);
    EXPECT_TRUE(hits.mftFolders.empty() && hits.mftFiles.empty() && hits.indexBlocks.empty());
  }
}

TEST(AdvanceSnapshot, ReadsTheNtfsVariantSortedAndUnclassified) {
  const AdvanceSnapshot snapshot = DecodeAdvanceSnapshot(NtfsFile({63}, kIndexBlocks, kMftFolders, kMftFiles));
  EXPECT_EQ(snapshot.range, RangeFor(FsType::ntfs));
  const HitLists& hits = snapshot.hits;
  EXPECT_EQ(Sectors(hits.bootSectors), (std::vector<SectorNumber>{63}));

  EXPECT_EQ(hits.indexBlocks, SortedBySector(kIndexBlocks));
  EXPECT_EQ(hits.mftFolders, Unclassified(kMftFolders));
  EXPECT_EQ(hits.mftFiles, SortedBySector(kMftFiles));
  EXPECT_EQ(hits.bootSectorsFound, 1u);
  EXPECT_EQ(hits.foldersFound, 2u);
  EXPECT_EQ(hits.filesFound, 3u);
  EXPECT_EQ(hits.indexBlocksFound, 2u);
  EXPECT_TRUE(hits.folderClusters.empty());
}

TEST(AdvanceSnapshot, HitsOnOneSectorKeepTheirFileOrder) {
  const std::vector<FolderClusterHit> same = {{700, 9, 0, 0, 0, 0}, {700, 4, 0, 0, 0, 0}, {10, 8, 0, 0, 0, 0}};
  const HitLists hits = DecodeAdvanceSnapshot(FatFile(FsType::fat32, {}, same)).hits;
  ASSERT_EQ(hits.folderClusters.size(), 3u);
  EXPECT_EQ(hits.folderClusters[0].cluster, 8u);
  EXPECT_EQ(hits.folderClusters[1].cluster, 9u);
  EXPECT_EQ(hits.folderClusters[2].cluster, 4u);
}

HitLists HitsOf(const std::vector<SectorNumber>& boots) {
  HitLists hits;
  for (const SectorNumber sector : boots) hits.bootSectors.push_back({sector});
  return hits;
}

TEST(AdvanceSnapshot, WriterLaysOutTheSameBytes) {
  HitLists fat = HitsOf(kBoots);
  fat.folderClusters = kFolderClusters;
  EXPECT_EQ(Encode(FsType::fat32, fat), FatFile(FsType::fat32, kBoots, kFolderClusters));

  HitLists ntfs = HitsOf({63});
  ntfs.indexBlocks = kIndexBlocks;
  ntfs.mftFolders = kMftFolders;
  ntfs.mftFiles = kMftFiles;
  // FAT hits in an NTFS scan's lists are not written.
  ntfs.folderClusters = kFolderClusters;
  EXPECT_EQ(Encode(FsType::ntfs, ntfs), NtfsFile({63}, kIndexBlocks, kMftFolders, kMftFiles));
}

// One hit past sector 2^32 - 1 and the whole file takes the wide layout:
// every sector number 64-bit, each named record's length 4 bytes longer.
TEST(AdvanceSnapshot, HitsPast32BitsAreWrittenInTheWideLayout) {
  constexpr SectorNumber kFar = SectorNumber{3} << 31;  // 3 TiB
  const std::vector<SectorNumber> boots = {kFar + 900, 63};
  std::vector<FolderClusterHit> folders = kFolderClusters;
  folders[0].sector += kFar;
  HitLists fat = HitsOf(boots);
  fat.folderClusters = folders;
  const std::vector<std::uint8_t> fatBytes = Encode(FsType::fat32, fat);
  EXPECT_EQ(fatBytes, FatFile(FsType::fat32, boots, folders, true));
  EXPECT_EQ(Sectors(DecodeAdvanceSnapshot(fatBytes).hits.folderClusters), Sectors(SortedBySector(folders)));

  std::vector<IndexBlockHit> blocks = kIndexBlocks;
  blocks[1].sector += kFar;
  std::vector<MftFolderHit> mftFolders = kMftFolders;
  mftFolders[0].sector += kFar;
  std::vector<MftFileHit> mftFiles = kMftFiles;
  mftFiles[2].sector += kFar;
  // Each list alone needs the wide layout.
  for (int far = 0; far < 3; ++far) {
    SCOPED_TRACE(far);
    HitLists ntfs = HitsOf({63});
    ntfs.indexBlocks = far == 0 ? blocks : kIndexBlocks;
    ntfs.mftFolders = far == 1 ? mftFolders : kMftFolders;
    ntfs.mftFiles = far == 2 ? mftFiles : kMftFiles;
    const std::vector<std::uint8_t> bytes = Encode(FsType::ntfs, ntfs);
    EXPECT_EQ(bytes, NtfsFile({63}, ntfs.indexBlocks, ntfs.mftFolders, ntfs.mftFiles, true));
    const HitLists back = DecodeAdvanceSnapshot(bytes).hits;
    EXPECT_EQ(Sectors(back.indexBlocks), Sectors(SortedBySector(ntfs.indexBlocks)));
    EXPECT_EQ(Sectors(back.mftFolders), Sectors(SortedBySector(ntfs.mftFolders)));
    EXPECT_EQ(Sectors(back.mftFiles), Sectors(SortedBySector(ntfs.mftFiles)));
    EXPECT_EQ(back.mftFolders[1].name, "Documents");
  }

  HitLists exfat = HitsOf({63});
  exfat.exfatFolders = {{"Zürich", kFar + 3000, 9, 512, 1, 2, 0, true, false}};
  exfat.exfatDirectoryStarts = {kFar + 3100};
  exfat.exfatRoots = {{kFar + 1300, 0}};
  exfat.exfatEntrySectors = {kFar + 3000};
  const std::vector<std::uint8_t> exfatBytes = Encode(FsType::exfat, exfat);
  EXPECT_EQ(std::string(exfatBytes.begin(), exfatBytes.begin() + 19), "Brimora Salvex 5.00");
  const HitLists back = DecodeAdvanceSnapshot(exfatBytes).hits;
  EXPECT_EQ(back.exfatFolders, exfat.exfatFolders);
  EXPECT_EQ(back.exfatDirectoryStarts, exfat.exfatDirectoryStarts);
  EXPECT_EQ(back.exfatRoots, exfat.exfatRoots);
  EXPECT_EQ(back.exfatEntrySectors, exfat.exfatEntrySectors);
}

TEST(AdvanceSnapshot, WriterByteCounts) {
  EXPECT_EQ(Encode(FsType::fat16, {}).size(), kHeaderBytes + 4 + 4);
  EXPECT_EQ(Encode(FsType::ntfs, {}).size(), kHeaderBytes + 4 + 3 * 4);

  HitLists fat = HitsOf({63});
  fat.folderClusters = {kFolderClusters[0]};
  EXPECT_EQ(Encode(FsType::fat16, fat).size(), kHeaderBytes + 4 + 4 + 4 + 18);

  HitLists block;
  block.indexBlocks = {kIndexBlocks[0]};
  EXPECT_EQ(Encode(FsType::ntfs, block).size(), kHeaderBytes + 4 + 3 * 4 + 15);

  // A file hit named "A": 42 bytes, its length field 32. It follows the
  // header, the boot count and the empty index-block and folder lists.
  HitLists file;
  file.mftFiles = {kMftFiles[0]};
  const std::vector<std::uint8_t> bytes = Encode(FsType::ntfs, file);
  ASSERT_EQ(bytes.size(), kHeaderBytes + 4 + 3 * 4 + 42);
  const std::size_t record = kHeaderBytes + 4 + 3 * 4;
  EXPECT_EQ(bytes[record] | bytes[record + 1] << 8, 32);

  HitLists folder;
  folder.mftFolders = {kMftFolders[0]};
  const std::vector<std::uint8_t> folderBytes = Encode(FsType::ntfs, folder);
  ASSERT_EQ(folderBytes.size(), kHeaderBytes + 4 + 3 * 4 + 2 + 9 + 35);
  const std::size_t folderRecord = kHeaderBytes + 4 + 4 + 4;
  EXPECT_EQ(folderBytes[folderRecord] | folderBytes[folderRecord + 1] << 8, 9 + 35);
}

TEST(AdvanceSnapshot, RoundTripGivesTheSweepOrderBack) {
  HitLists ntfs = HitsOf({5000, 63});
  ntfs.indexBlocks = kIndexBlocks;
  ntfs.mftFolders = kMftFolders;
  ntfs.mftFolders.push_back({std::string(kMaxSnapshotNameBytes, 'n'), 1, 5, 6, 0, 0, 0, 0, false});
  ntfs.mftFiles = kMftFiles;
  const HitLists back = DecodeAdvanceSnapshot(Encode(FsType::ntfs, ntfs)).hits;
  EXPECT_EQ(Sectors(back.bootSectors), (std::vector<SectorNumber>{63, 5000}));
  EXPECT_EQ(Sectors(back.indexBlocks), Sectors(SortedBySector(ntfs.indexBlocks)));
  EXPECT_EQ(Sectors(back.mftFolders), Sectors(SortedBySector(ntfs.mftFolders)));
  EXPECT_EQ(Sectors(back.mftFiles), Sectors(SortedBySector(ntfs.mftFiles)));
  ASSERT_EQ(back.mftFolders.size(), 3u);
  EXPECT_EQ(back.mftFolders[0].name, std::string(kMaxSnapshotNameBytes, 'n'));
  // Written again, the hits give the bytes of a sorted, unclassified sweep.
  HitLists sorted = ntfs;
  sorted.bootSectors = SortedBySector(ntfs.bootSectors);
  sorted.indexBlocks = SortedBySector(ntfs.indexBlocks);
  sorted.mftFolders = Unclassified(ntfs.mftFolders);
  sorted.mftFiles = SortedBySector(ntfs.mftFiles);
  EXPECT_EQ(Encode(FsType::ntfs, back), Encode(FsType::ntfs, sorted));
}

std::vector<std::uint8_t> Patched(std::vector<std::uint8_t> bytes, std::size_t offset, std::uint32_t value,
                                  int width) {
  for (int i = 0; i < width; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  return bytes;
}

TEST(AdvanceSnapshot, RefusesEveryDamagedFile) {
  // FAT: one boot sector and one folder cluster. Boot count at 35, folder
  // count at 43.
  const std::vector<std::uint8_t> fat = FatFile(FsType::fat32, {63}, {kFolderClusters[0]});
  // NTFS: no boot sector, then one index block, one folder ("Documents",
  // 46 bytes) and one file ("A", 42 bytes). Index count at 39, folder
  // count at 58, its record at 62, file count at 108, its record at 112.
  const std::vector<std::uint8_t> ntfs = NtfsFile({}, {kIndexBlocks[0]}, {kMftFolders[0]}, {kMftFiles[0]});
  ASSERT_EQ(ntfs.size(), 112u + 42u);
  struct Damage {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  const std::vector<Damage> damages = {
      {"empty", {}},
      {"another header", Patched(fat, 18, '2', 1)},
      {"a tree snapshot", {'r', 's', 'n', '4', '.', '0', '3', '1', '.', '0'}},
      {"2^32 - 1 boot sectors", Patched(fat, 35, 0xFFFFFFFF, 4)},
      {"2^28 boot sectors", Patched(fat, 35, 0x10000000, 4)},
      {"2^32 - 1 folder clusters", Patched(fat, 43, 0xFFFFFFFF, 4)},
      {"one folder cluster more than it holds", Patched(fat, 43, 2, 4)},
      {"2^32 - 1 index blocks", Patched(ntfs, 39, 0xFFFFFFFF, 4)},
      {"2^32 - 1 MFT folders", Patched(ntfs, 58, 0xFFFFFFFF, 4)},
      {"2^32 - 1 MFT files", Patched(ntfs, 108, 0xFFFFFFFF, 4)},
      {"one MFT file more than it holds", Patched(ntfs, 108, 2, 4)},
      {"an MFT folder record shorter than its fields", Patched(ntfs, 62, 34, 2)},
      {"an MFT file record shorter than its fields", Patched(ntfs, 112, 30, 2)},
      {"an MFT folder name of 781 bytes", NtfsFile({}, {}, {{std::string(781, 'n'), 1, 5, 6, 0, 0, 0, 0, false}}, {})},
      {"an MFT file name of 781 bytes", NtfsFile({}, {}, {}, {{std::string(781, 'n'), 1, 5, 0, 0, 0, false}})},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    EXPECT_THROW(DecodeAdvanceSnapshot(damage.bytes), SnapshotError);
  }
  for (const auto* whole : {&fat, &ntfs}) {
    for (std::size_t length = 0; length < whole->size(); ++length) {
      SCOPED_TRACE(std::string(whole == &fat ? "FAT" : "NTFS") + " cut to " + std::to_string(length) + " bytes");
      EXPECT_THROW(DecodeAdvanceSnapshot(std::span(*whole).first(length)), SnapshotError);
    }
  }
}

TEST(AdvanceSnapshot, TakesTheLimitsOfEachField) {
  struct Limit {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  const std::vector<Limit> limits = {
      {"nothing found", FatFile(FsType::fat16, {}, {})},
      {"an MFT folder without a name", NtfsFile({}, {}, {{"", 1, 5, 6, 0, 0, 0, 0, false}}, {})},
      {"an MFT file without a name", NtfsFile({}, {}, {}, {{"", 1, 5, 0, 0, 0, false}})},
      {"names of 780 bytes", NtfsFile({}, {}, {{std::string(780, 'n'), 1, 5, 6, 0, 0, 0, 0, false}},
                                      {{std::string(780, 'f'), 2, 5, 0, 0, 0, false}})},
  };
  for (const Limit& limit : limits) {
    SCOPED_TRACE(limit.what);
    EXPECT_NO_THROW(DecodeAdvanceSnapshot(limit.bytes));
  }
}

// The exFAT lists follow the FAT variant's (empty) folder list: written
// and read back they come sorted and unclassified with the file count; a
// file that ends before them (as one saved when only the boot sectors were
// kept) still loads, and every other cut is refused.
TEST(AdvanceSnapshot, ExfatVariantRoundTripsAndOlderFilesStillLoad) {
  HitLists exfat = HitsOf({900, 63});
  exfat.exfatFolders = {{"Zürich", 3000, 9, 512, 0x5A215C00, 0x5A215C01, 2, true, false},
                        {std::string(kMaxSnapshotNameBytes, 'n'), 1200, 5, 4096, 1, 2, kUnplaced, false, true},
                        {"", 3000, 7, 0, 0, 0, 1, true, true}};
  exfat.exfatDirectoryStarts = {3100, 1300};
  exfat.exfatRoots = {{1300, 1}, {800, kUnplaced}};
  exfat.exfatEntrySectors = {3000, 1200};
  exfat.filesFound = 7;
  const std::vector<std::uint8_t> bytes = Encode(FsType::exfat, exfat);
  const HitLists back = DecodeAdvanceSnapshot(bytes).hits;
  EXPECT_EQ(Sectors(back.bootSectors), (std::vector<SectorNumber>{63, 900}));
  EXPECT_EQ(back.exfatFolders, Unclassified(exfat.exfatFolders));
  EXPECT_EQ(back.exfatDirectoryStarts, (std::vector<SectorNumber>{1300, 3100}));
  EXPECT_EQ(back.exfatRoots, Unclassified(exfat.exfatRoots));
  EXPECT_EQ(back.exfatEntrySectors, (std::vector<SectorNumber>{1200, 3000}));
  EXPECT_EQ(back.foldersFound, 3u);
  EXPECT_EQ(back.filesFound, 7u);

  const std::size_t olderFile = kHeaderBytes + 4 + 2 * 4 + 4;
  const HitLists older = DecodeAdvanceSnapshot(std::span(bytes).first(olderFile)).hits;
  EXPECT_EQ(Sectors(older.bootSectors), (std::vector<SectorNumber>{63, 900}));
  EXPECT_TRUE(older.exfatFolders.empty() && older.exfatDirectoryStarts.empty() && older.exfatRoots.empty());
  EXPECT_EQ(older.foldersFound, 0u);
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    if (length == olderFile) continue;
    SCOPED_TRACE("cut to " + std::to_string(length) + " bytes");
    EXPECT_THROW(DecodeAdvanceSnapshot(std::span(bytes).first(length)), SnapshotError);
  }
  EXPECT_THROW(DecodeAdvanceSnapshot(Patched(bytes, olderFile + 4, 0xFFFFFFFF, 4)), SnapshotError);
}

// A loaded file can hold hits no sweep makes: whatever they are, the
// classification must leave each one claimed by a found file system or
// unplaced. Found by snapshot_advance_fuzzer: a hit on cluster 0 that paired
// with another (both put cluster 0 at sector 256) was left unclaimed while
// the claim index skipped cluster 0.
TEST(AdvanceSnapshot, LoadedHitsEndClaimedOrUnplaced) {
  struct Case {
    const char* what;
    std::vector<FolderClusterHit> hits;
  };
  const std::vector<Case> cases = {
      {"a pair", {{1256, 1000, 0, 0, 0, 0}, {2256, 2000, 1000, 0, 0, 0}}},
      {"a pair led by a hit on cluster 0", {{256, 0, 0, 0, 0, 0}, {1256, 1000, 0, 0, 0, 0}}},
      {"a hit on cluster 0 alone", {{256, 0, 0, 0, 0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Session session;
    session.reader.Open(std::make_unique<MemoryDiskSource>(std::vector<std::uint8_t>(8 * kSectorSize, 0)));
    AdvanceSnapshot snapshot = DecodeAdvanceSnapshot(FatFile(FsType::fat32, {}, c.hits));
    ApplyRange(snapshot.range, session.scan);
    session.deepScan.hits = std::move(snapshot.hits);
    testing::RecordingUiPort ui;
    ClassifyLoadedHits(session.reader, session.scan, ui, session.deepScan);
    const std::size_t found = session.deepScan.found.size();
    for (const FolderClusterHit& hit : session.deepScan.hits.folderClusters) {
      EXPECT_TRUE(hit.candidate == kUnplaced || (hit.candidate >= 1 && hit.candidate <= found))
          << "hit at sector " << hit.sector << " (cluster " << hit.cluster << ") has candidate " << hit.candidate
          << " with " << found << " file system(s) found";
    }
  }
}

}  // namespace
}  // namespace salvex
