// The Advance Scan's sector sweeps on crafted disks: which sectors become
// hits, what an unreadable chunk leaves behind, and the cap on boot sectors.

#include "deepscan/sweep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "deepscan/sector_tests.h"
#include "platform/faulty_disk_source.h"
#include "platform/file_disk_source.h"
#include "support/deep_scan_disk.h"
#include "support/mft_record_builder.h"
#include "support/sparse_disk_source.h"
#include "support/tool_runner.h"

namespace salvex {
namespace {

using testing::DeepScanBench;
using Image = testing::ByteImage;

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& param) {
  return param.param.name;
}

void SweepFatOf(DeepScanBench& bench) {
  SweepContext context{bench.reader, bench.scan, bench.settings, bench.ui, bench.state.hits};
  SweepFat(context);
}

void SweepNtfsOf(DeepScanBench& bench) {
  SweepContext context{bench.reader, bench.scan, bench.settings, bench.ui, bench.state.hits};
  SweepNtfs(context);
}

// --- FAT: what a sector is taken for -----------------------------------------

constexpr std::uint32_t kAt = 1000;  // the crafted sector

struct FatSectorCase {
  const char* name;
  void (*craft)(Image& image);
  bool bootSector;
  bool folder;
  std::uint32_t cluster;
  std::uint32_t parent;
};

const FatSectorCase kFatSectorCases[] = {
    {"Fat32BootSector", [](Image& image) { testing::PutFatBootSector(image, kAt, {}); }, true, false, 0, 0},
    {"Fat16BootSector", [](Image& image) { testing::PutFatBootSector(image, kAt, {.fat32 = false}); }, true, false, 0, 0},
    {"BootSectorWithoutItsSignature",
     [](Image& image) {
       testing::PutFatBootSector(image, kAt, {});
       image.Put8(kAt * kSectorSize + 511, 0);
     },
     false, false, 0, 0},
    {"SignedSectorWithoutFatText",
     [](Image& image) {
       image.PutText(kAt * kSectorSize + 3, "NTFS    ");
       image.PutBootSignature(kAt);
     },
     false, false, 0, 0},
    {"FolderStart", [](Image& image) { testing::PutFolderStart(image, kAt, 700, 0x10007); }, false, true, 700, 0x10007},
    {"FolderStartInTheRoot", [](Image& image) { testing::PutFolderStart(image, kAt, 3, 0); }, false, true, 3, 0},
    // Cluster 2 is where a FAT16 volume's first folder lies. Clusters 0 and 1
    // hold no folder, and a cluster at or past its own sector number cannot
    // lie there.
    {"FolderStartOfCluster2", [](Image& image) { testing::PutFolderStart(image, kAt, 2, 0); }, false, true, 2, 0},
    {"FolderStartOfCluster1", [](Image& image) { testing::PutFolderStart(image, kAt, 1, 0); }, false, false, 0, 0},
    {"FolderStartOfItsOwnSectorNumber", [](Image& image) { testing::PutFolderStart(image, kAt, kAt, 5); }, false,
     false, 0, 0},
    {"FolderStartWithAParentOfAllOnes",
     [](Image& image) { testing::PutFolderStart(image, kAt, 9, 0xFFFFFFFF); }, false, false, 0, 0},
    // A signature wins over a folder's look: such a sector is never a folder.
    {"FolderStartWithASignature",
     [](Image& image) {
       testing::PutFolderStart(image, kAt, 9, 0);
       image.PutBootSignature(kAt);
     },
     false, false, 0, 0},
};

// Failures name the row, not its bytes.
void PrintTo(const FatSectorCase& row, std::ostream* out) { *out << row.name; }

class FatSectorTest : public ::testing::TestWithParam<FatSectorCase> {};

TEST_P(FatSectorTest, IsRecordedAsWhatItIs) {
  const FatSectorCase& test = GetParam();
  // The range starts off a chunk boundary, so hits are numbered from the disk's start.
  DeepScanBench bench(1100);
  bench.Range(FsType::fat32, 37, 1100 - 37);
  bench.settings.sectorsPerRead = 16;
  test.craft(bench.image);
  bench.Open();

  SweepFatOf(bench);

  const HitLists& hits = bench.state.hits;
  ASSERT_EQ(hits.bootSectors.size(), test.bootSector ? 1u : 0u);
  if (test.bootSector) {
    EXPECT_EQ(hits.bootSectors[0].sector, kAt);
  }
  ASSERT_EQ(hits.folderClusters.size(), test.folder ? 1u : 0u);
  if (test.folder) {
    const FolderClusterHit& hit = hits.folderClusters[0];
    EXPECT_EQ(hit.sector, kAt);
    EXPECT_EQ(hit.cluster, test.cluster);
    EXPECT_EQ(hit.parentCluster, test.parent);
    EXPECT_EQ(hit.writeDate, testing::DosDate(2020, 6, 15));
    EXPECT_EQ(hit.accessDate, testing::DosDate(2021, 7, 16));
    EXPECT_EQ(hit.candidate, kUnclaimed);
  }
  EXPECT_EQ(hits.bootSectorsFound, hits.bootSectors.size());
  EXPECT_EQ(hits.foldersFound, hits.folderClusters.size());
}

INSTANTIATE_TEST_SUITE_P(Table, FatSectorTest, ::testing::ValuesIn(kFatSectorCases), CaseName<FatSectorCase>);

TEST(FolderClusterHit, TheClusterHasAHighWordAndMustLieBelowItsSector) {
  testing::ByteImage image(1);
  testing::PutFolderStart(image, 0, 0x12345, 0);
  const auto hit = ReadFolderClusterHit(image.Sector(0), 0x12346);
  ASSERT_TRUE(hit.has_value());
  EXPECT_EQ(hit->cluster, 0x12345u);
  EXPECT_EQ(hit->sector, 0x12346u);
  EXPECT_FALSE(ReadFolderClusterHit(image.Sector(0), 0x12345).has_value());
}

// --- FAT: unreadable chunks and the cap --------------------------------------

TEST(FatSweep, AnUnreadableChunkAfterFolderSectorsAddsNoHits) {
  // Sectors 16-31 all look like folders; 32-47, the next chunk, cannot be
  // read at all. Had the chunk buffer kept the last chunk's bytes, 32-47
  // would come back as folders too.
  DeepScanBench bench(64);
  bench.Range(FsType::fat32, 0, 64);
  bench.settings.sectorsPerRead = 16;
  bench.settings.badSectorRetries = 1;
  for (std::uint32_t sector = 16; sector < 32; ++sector) testing::PutFolderStart(bench.image, sector, 3, 0);
  auto faulty = std::make_unique<FaultyDiskSource>(bench.image.Source());
  for (std::uint32_t sector = 32; sector < 48; ++sector) faulty->FailSector(sector);
  bench.reader.Open(std::move(faulty));

  SweepFatOf(bench);

  std::vector<SectorNumber> sectors;
  for (const FolderClusterHit& hit : bench.state.hits.folderClusters) sectors.push_back(hit.sector);
  std::vector<SectorNumber> expected(16);
  for (std::uint32_t i = 0; i < 16; ++i) expected[i] = 16 + i;
  EXPECT_EQ(sectors, expected);
}

TEST(FatSweep, ABadSectorIsAskedForOnceByTheReadAheadThenByItsChunkAlone) {
  // On a failing disk each failed read can take seconds: the window around
  // the bad sector fails once, then only the chunk holding it is retried.
  DeepScanBench bench(4096);
  bench.Range(FsType::fat32, 0, 68 * 60);  // whole chunks, none past the disk's end
  bench.settings.sectorsPerRead = 60;
  bench.settings.badSectorRetries = 3;
  testing::PutFolderStart(bench.image, 1001, 3, 0);
  auto faulty = std::make_unique<FaultyDiskSource>(bench.image.Source());
  faulty->FailSector(1000);
  const FaultyDiskSource& disk = *faulty;
  bench.reader.Open(std::move(faulty));

  SweepFatOf(bench);

  int failed = 0;
  for (const FaultyDiskSource::Request& request : disk.Requests()) failed += request.succeeded ? 0 : 1;
  // The window, the chunk 960-1019, then sector 1000 alone with its retries.
  EXPECT_EQ(failed, 1 + 1 + 3);
  ASSERT_EQ(bench.state.hits.folderClusters.size(), 1u) << "the chunk's other sectors were not read";
  EXPECT_EQ(bench.state.hits.folderClusters[0].sector, 1001u);
}

TEST(FatSweep, NamesHitsPastSector2To32WithTheirOwnNumbers) {
  // The range crosses sector 2^32: the folder past it is recorded at its
  // 64-bit sector, not cut to sector 0x10, where nothing is.
  DeepScanBench bench(1);
  bench.Range(FsType::fat32, 0xFFFFFF00u, 0x200);
  Image folder(1);
  testing::PutFolderStart(folder, 0, 3, 0);
  auto disk = std::make_unique<testing::SparseDiskSource>((std::uint64_t{1} << 32) + 4096);
  for (const std::uint64_t sector : {std::uint64_t{0xFFFFFFF0u}, std::uint64_t{0x100000010u}}) {
    disk->Put(sector, folder.Bytes());
  }
  bench.reader.Open(std::move(disk));

  SweepFatOf(bench);

  std::vector<SectorNumber> sectors;
  for (const FolderClusterHit& hit : bench.state.hits.folderClusters) sectors.push_back(hit.sector);
  EXPECT_EQ(sectors, (std::vector<SectorNumber>{0xFFFFFFF0u, 0x100000010u}));
}

// Counts the bytes read through it, and passes the holes of the file on.
class CountingSource final : public DiskSource {
 public:
  explicit CountingSource(std::unique_ptr<DiskSource> inner) : inner_(std::move(inner)) {}
  bool ReadAt(std::uint64_t byteOffset, std::span<std::uint8_t> out) override {
    bytesRead += out.size();
    return inner_->ReadAt(byteOffset, out);
  }
  std::uint64_t SizeBytes() const override { return inner_->SizeBytes(); }
  std::uint64_t NextDataOffset(std::uint64_t byteOffset) const override { return inner_->NextDataOffset(byteOffset); }
  std::string Name() const override { return inner_->Name(); }
  std::uint64_t bytesRead = 0;

 private:
  std::unique_ptr<DiskSource> inner_;
};

// A sparse image of 32 GiB holding two folders 30 GiB in: the sweep finds
// them and reads next to nothing of the holes before them.
TEST(FatSweep, PassesOverTheHolesOfASparseImage) {
  constexpr std::uint64_t kSectors = std::uint64_t{32} << 21;
  constexpr std::uint64_t kFolders = std::uint64_t{30} << 21;
  const testing::TempDir dir;
  const std::string path = (dir / "sparse.img").string();
  {
    std::ofstream file(path, std::ios::binary);
  }
  std::filesystem::resize_file(path, kSectors * kSectorSize);
  Image folders(2);
  testing::PutFolderStart(folders, 0, 3, 0);
  testing::PutFolderStart(folders, 1, 4, 3);
  {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(kFolders * kSectorSize));
    file.write(reinterpret_cast<const char*>(folders.Bytes().data()), static_cast<std::streamsize>(folders.Bytes().size()));
  }
  std::string error;
  std::unique_ptr<DiskSource> file = FileDiskSource::Open(path, error);
  ASSERT_TRUE(file) << error;
  if (file->NextDataOffset(0) == 0) GTEST_SKIP() << "this file system keeps no holes";
  auto counting = std::make_unique<CountingSource>(std::move(file));
  const CountingSource& counted = *counting;
  DeepScanBench bench(1);
  bench.reader.Open(std::move(counting));
  bench.Range(FsType::fat32, 0, static_cast<std::uint32_t>(kSectors));

  SweepFatOf(bench);

  std::vector<SectorNumber> sectors;
  for (const FolderClusterHit& hit : bench.state.hits.folderClusters) sectors.push_back(hit.sector);
  EXPECT_EQ(sectors, (std::vector<SectorNumber>{kFolders, kFolders + 1}));
  EXPECT_LT(counted.bytesRead, std::uint64_t{16} << 20);
}

TEST(FatSweep, The60001stBootSectorIsRecordedAndEndsTheSweep) {
  // Each sector a minimal FAT32 boot sector: "32" at 85 and the signature.
  // A folder follows the last of them, past the cap.
  constexpr std::uint32_t kBoots = kMaxFatBootSectorHits + 1;
  DeepScanBench bench(kBoots + 100);
  bench.Range(FsType::fat32, 0, kBoots + 100);
  bench.settings.sectorsPerRead = 100;
  std::vector<std::uint8_t>& bytes = bench.image.Bytes();
  for (std::uint32_t sector = 0; sector < kBoots; ++sector) {
    std::uint8_t* at = bytes.data() + std::size_t{sector} * kSectorSize;
    at[85] = '3';
    at[86] = '2';
    at[510] = 0x55;
    at[511] = 0xAA;
  }
  testing::PutFolderStart(bench.image, kBoots + 1, 3, 0);
  bench.Open();

  SweepFatOf(bench);

  const HitLists& hits = bench.state.hits;
  ASSERT_EQ(hits.bootSectors.size(), kBoots);
  EXPECT_EQ(hits.bootSectors.back().sector, kBoots - 1);
  EXPECT_TRUE(hits.folderClusters.empty()) << "the sweep went on past the cap";
  ASSERT_EQ(bench.ui.notices.size(), 1u);
  EXPECT_EQ(bench.ui.notices[0].kind, NoticeKind::error);
  EXPECT_EQ(bench.ui.notices[0].text, kTooManyStructuresMessage);
}

TEST(FatSweep, SixtyThousandBootSectorsAreNoReasonToStop) {
  DeepScanBench bench(kMaxFatBootSectorHits + 10);
  bench.Range(FsType::fat32, 0, kMaxFatBootSectorHits + 10);
  bench.settings.sectorsPerRead = 100;
  for (std::uint32_t sector = 0; sector < kMaxFatBootSectorHits; ++sector) {
    std::uint8_t* at = bench.image.Bytes().data() + std::size_t{sector} * kSectorSize;
    at[85] = '3';
    at[86] = '2';
    at[510] = 0x55;
    at[511] = 0xAA;
  }
  testing::PutFolderStart(bench.image, kMaxFatBootSectorHits + 5, 3, 0);
  bench.Open();

  SweepFatOf(bench);

  EXPECT_EQ(bench.state.hits.bootSectors.size(), kMaxFatBootSectorHits);
  EXPECT_EQ(bench.state.hits.folderClusters.size(), 1u);
  EXPECT_TRUE(bench.ui.notices.empty());
}

TEST(Sweep, NothingPastTheRangesEndIsReported) {
  // The range [0, 1000) read 16 sectors at a time: its last chunk starts at
  // 992 and reaches 1007. The chunk is read whole, but structures just past
  // the range are not the range's: only the one at its last sector is found.
  struct Past {
    const char* name;
    FsType type;
    void (*craft)(Image& image, std::uint32_t sector);
  };
  const Past cases[] = {
      {"FAT folder", FsType::fat32, [](Image& image, std::uint32_t sector) { testing::PutFolderStart(image, sector, 9, 0); }},
      {"FAT boot sector", FsType::fat16,
       [](Image& image, std::uint32_t sector) { testing::PutFatBootSector(image, sector, {}); }},
      {"NTFS folder record", FsType::ntfs,
       [](Image& image, std::uint32_t sector) {
         image.PutBytes(std::uint64_t{sector} * kSectorSize, testing::MftRecordBuilder(3).FileName(u"Docs", 1, 5).Build());
       }},
      {"NTFS boot sector", FsType::ntfs,
       [](Image& image, std::uint32_t sector) { testing::PutNtfsBootSector(image, sector, 8, 5000, 4); }},
  };
  for (const Past& past : cases) {
    SCOPED_TRACE(past.name);
    DeepScanBench bench(1100);
    bench.Range(past.type, 0, 1000);
    bench.settings.sectorsPerRead = 16;
    past.craft(bench.image, 997);   // the range's last sector but two
    past.craft(bench.image, 1002);  // past it, in the last chunk
    bench.Open();

    if (past.type == FsType::ntfs) {
      SweepNtfsOf(bench);
    } else {
      SweepFatOf(bench);
    }

    const HitLists& hits = bench.state.hits;
    EXPECT_EQ(hits.bootSectors.size() + hits.folderClusters.size() + hits.mftFolders.size(), 1u);
    for (const BootSectorHit& hit : hits.bootSectors) EXPECT_EQ(hit.sector, 997u);
    for (const FolderClusterHit& hit : hits.folderClusters) EXPECT_EQ(hit.sector, 997u);
    for (const MftFolderHit& hit : hits.mftFolders) EXPECT_EQ(hit.sector, 997u);
  }
}

// --- NTFS ----------------------------------------------------------------------

struct NtfsSectorCase {
  const char* name;
  void (*craft)(Image& image);
  std::size_t folders;
  std::size_t files;
  std::size_t indexBlocks;
};

void PutRecord(testing::ByteImage& image, const testing::MftRecordBuilder& builder, std::uint32_t allocated = 1024) {
  testing::MftRecordBytes record = builder.Build();
  record[28] = static_cast<std::uint8_t>(allocated);
  record[29] = static_cast<std::uint8_t>(allocated >> 8);
  image.PutBytes(std::uint64_t{kAt} * kSectorSize, record);
}

void PutIndexOf(testing::ByteImage& image, std::uint32_t parent) {
  testing::PutIndexBlock(image, kAt, 8, 0, {{.record = 70, .parent = parent, .name = u"a.txt"}});
}

const NtfsSectorCase kNtfsSectorCases[] = {
    {"FolderRecord", [](Image& image) { PutRecord(image, testing::MftRecordBuilder(3).FileName(u"Docs", 1, 5)); }, 1,
     0, 0},
    {"DeletedFolderRecord", [](Image& image) { PutRecord(image, testing::MftRecordBuilder(2).FileName(u"Old", 1, 5)); },
     1, 0, 0},
    {"FileRecord", [](Image& image) { PutRecord(image, testing::MftRecordBuilder(1).FileName(u"a.txt", 1, 5)); }, 0, 1,
     0},
    {"DeletedFileRecord", [](Image& image) { PutRecord(image, testing::MftRecordBuilder(0).FileName(u"b.txt", 1, 5)); },
     0, 1, 0},
    {"RecordWithoutAName", [](Image& image) { PutRecord(image, testing::MftRecordBuilder(1)); }, 0, 0, 0},
    // 4096-byte records are not the 1024-byte records read here.
    {"RecordOf4096Bytes",
     [](Image& image) { PutRecord(image, testing::MftRecordBuilder(3).FileName(u"Docs", 1, 5), 4096); }, 0, 0, 0},
    {"IndexBlockOfAFolder", [](Image& image) { PutIndexOf(image, 64); }, 0, 0, 1},
    {"IndexBlockOfTheRoot", [](Image& image) { PutIndexOf(image, 5); }, 0, 0, 1},
    // Records 0-4 are system files, no folder; all ones is no record.
    {"IndexBlockNamingRecord4", [](Image& image) { PutIndexOf(image, 4); }, 0, 0, 0},
    {"IndexBlockNamingRecord0", [](Image& image) { PutIndexOf(image, 0); }, 0, 0, 0},
    {"IndexBlockNamingAllOnes", [](Image& image) { PutIndexOf(image, 0xFFFFFFFF); }, 0, 0, 0},
};

// Failures name the row, not its bytes.
void PrintTo(const NtfsSectorCase& row, std::ostream* out) { *out << row.name; }

class NtfsSectorTest : public ::testing::TestWithParam<NtfsSectorCase> {};

TEST_P(NtfsSectorTest, IsRecordedAsWhatItIs) {
  const NtfsSectorCase& test = GetParam();
  DeepScanBench bench(1100);
  bench.Range(FsType::ntfs, 0, 1100);
  bench.settings.sectorsPerRead = 16;
  test.craft(bench.image);
  bench.Open();

  SweepNtfsOf(bench);

  const HitLists& hits = bench.state.hits;
  EXPECT_EQ(hits.mftFolders.size(), test.folders);
  EXPECT_EQ(hits.mftFiles.size(), test.files);
  EXPECT_EQ(hits.indexBlocks.size(), test.indexBlocks);
  for (const MftFolderHit& hit : hits.mftFolders) EXPECT_EQ(hit.sector, kAt);
  for (const MftFileHit& hit : hits.mftFiles) EXPECT_EQ(hit.sector, kAt);
  for (const IndexBlockHit& hit : hits.indexBlocks) {
    EXPECT_EQ(hit.sector, kAt);
    EXPECT_EQ(hit.sectors, 8u);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, NtfsSectorTest, ::testing::ValuesIn(kNtfsSectorCases), CaseName<NtfsSectorCase>);

TEST(NtfsSweep, RecordsCarryWhatTheClassificationNeeds) {
  DeepScanBench bench(3000);
  bench.Range(FsType::ntfs, 0, 3000);
  const std::uint8_t indexRuns[] = {0x11, 0x01, 0x2A};  // one cluster at 42
  bench.image.PutBytes(1000 * kSectorSize, testing::MftRecordBuilder(2)
                                               .FileName(u"Отчёты", 1, 40, 111, 222)
                                               .IndexRoot(77)
                                               .IndexAllocation(indexRuns)
                                               .Build());
  bench.image.PutBytes(1002 * kSectorSize, testing::MftRecordBuilder(3).FileName(u".", 3, 5).Build());
  const std::uint8_t dataRuns[] = {0x11, 0x05, 0x20};
  bench.image.PutBytes(1004 * kSectorSize, testing::MftRecordBuilder(0)
                                               .FileName(u"big.bin", 1, 77, 333, 444)
                                               .NonResidentData(5'000'000'001ull, dataRuns)
                                               .Build());
  testing::PutIndexBlock(bench.image, 2000, 8, 3, {{.record = 80, .parent = 77, .name = u"big.bin"}});
  testing::PutNtfsBootSector(bench.image, 2500, 8, 100000, 4);
  bench.Open();

  SweepNtfsOf(bench);

  const HitLists& hits = bench.state.hits;
  ASSERT_EQ(hits.mftFolders.size(), 2u);
  const MftFolderHit& folder = hits.mftFolders[0];
  EXPECT_EQ(folder.name, "Отчёты");
  EXPECT_EQ(folder.sector, 1000u);
  EXPECT_EQ(folder.parentRecord, 40u);
  EXPECT_EQ(folder.recordNumber, 77u) << "from the index root's first entry";
  EXPECT_EQ(folder.indexCluster, 42u);
  EXPECT_EQ(folder.created, 111u);
  EXPECT_EQ(folder.changed, 222u);
  EXPECT_TRUE(folder.deleted);
  EXPECT_EQ(hits.mftFolders[1].recordNumber, 5u) << "the root's own record";
  ASSERT_EQ(hits.mftFiles.size(), 1u);
  EXPECT_EQ(hits.mftFiles[0].name, "big.bin");
  EXPECT_EQ(hits.mftFiles[0].size, 5'000'000'001ull);
  EXPECT_EQ(hits.mftFiles[0].parentRecord, 77u);
  EXPECT_TRUE(hits.mftFiles[0].deleted);
  ASSERT_EQ(hits.indexBlocks.size(), 1u);
  EXPECT_EQ(hits.indexBlocks[0].ownerRecord, 77u);
  EXPECT_EQ(hits.indexBlocks[0].vcn, 3u);
  ASSERT_EQ(hits.bootSectors.size(), 1u);
  EXPECT_EQ(hits.bootSectors[0].sector, 2500u);
}


// --- FAT: a directory's later sectors ------------------------------------------

struct DirectorySectorCase {
  const char* name;
  void (*craft)(SectorBuffer& sector);
  bool holdsEntries;
};

void PutEntries(SectorBuffer& sector, const std::vector<testing::EntryBytes>& entries) {
  for (std::size_t i = 0; i < entries.size() && i < 16; ++i) std::copy(entries[i].begin(), entries[i].end(), sector.begin() + 32 * i);
}

std::vector<testing::EntryBytes> NamedEntry(std::u16string_view longName, testing::ShortEntryFields fields, bool deleted) {
  std::vector<testing::EntryBytes> entries = testing::MakeLongNameEntries(longName, fields.name11, deleted);
  if (deleted) fields.name11[0] = '\xE5';
  entries.push_back(testing::MakeShortEntry(fields));
  return entries;
}

const DirectorySectorCase kDirectorySectorCases[] = {
    {"LiveEntriesWithLongNames",
     [](SectorBuffer& s) { PutEntries(s, NamedEntry(u"a letter to grandma.txt", {"ALETTE~1TXT", 0x20, 70000, 900}, false)); },
     true},
    {"DeletedEntries",
     [](SectorBuffer& s) { PutEntries(s, NamedEntry(u"old notes.txt", {"OLDNOT~1TXT", 0x20, 12, 900}, true)); },
     true},
    {"OnlyLongNameParts",
     [](SectorBuffer& s) { PutEntries(s, testing::MakeLongNameEntries(u"a name that goes on.txt", "ANAMET~1TXT")); },
     false},
    {"ALowerCaseShortName", [](SectorBuffer& s) { PutEntries(s, {testing::MakeShortEntry({"notes   txt", 0x20, 12, 9})}); },
     false},
    {"AnImpossibleDate",
     [](SectorBuffer& s) {
       testing::ShortEntryFields fields{"NOTES   TXT", 0x20, 12, 9};
       fields.writeDate = 0x01E0;  // month 15
       PutEntries(s, {testing::MakeShortEntry(fields)});
     },
     false},
    {"NoFirstCluster", [](SectorBuffer& s) { PutEntries(s, {testing::MakeShortEntry({"EMPTY   TXT", 0x20, 0, 0})}); }, false},
    {"Zeros", [](SectorBuffer&) {}, false},
    {"Text", [](SectorBuffer& s) { std::fill(s.begin(), s.end(), 'a'); }, false},
};

void PrintTo(const DirectorySectorCase& row, std::ostream* out) { *out << row.name; }

class DirectorySectorTest : public ::testing::TestWithParam<DirectorySectorCase> {};

TEST_P(DirectorySectorTest, IsTakenForDirectoryEntriesOnlyWhenEveryEntryIsPlausible) {
  SectorBuffer sector{};
  GetParam().craft(sector);
  EXPECT_EQ(HoldsDirectoryEntries(sector), GetParam().holdsEntries);
  EXPECT_EQ(ClassifyFatSector(sector) == FatSectorKind::directoryEntries, GetParam().holdsEntries);
}

INSTANTIATE_TEST_SUITE_P(Table, DirectorySectorTest, ::testing::ValuesIn(kDirectorySectorCases),
                         CaseName<DirectorySectorCase>);

}  // namespace
}  // namespace salvex
