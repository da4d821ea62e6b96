// The .RSNP tree snapshot: a file laid out here field by field must read back
// as written, the writer must produce those same bytes, and every damaged
// file must be refused before anything is applied.

#include "snapshot/tree_snapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "snapshot/snapshot_bytes.h"
#include "support/le_bytes_builder.h"

namespace salvex {
namespace {

using testing::LeBytes;

struct FolderRecord {
  std::string name;
  std::uint32_t firstCluster;
  std::uint32_t parentCluster;
  std::uint16_t writeDate;
  std::uint16_t accessDate;
  std::uint8_t deleted;
};

struct FileRecord {
  std::string name;
  std::uint32_t firstCluster;
  std::uint32_t parentCluster;
  std::uint16_t writeDate;
  std::uint16_t accessDate;
  std::uint32_t size;
  std::uint8_t deleted;
  std::uint32_t id;
};

// A FAT32 partition from sector 2048, as partition 2 of its disk.
constexpr SectorRange kRange{FsType::fat32, 2048, 69632, 71679, 1};

VolumeParameters Fat32Volume() {
  VolumeParameters volume;
  volume.fsType = FsType::fat32;
  volume.sectorsPerFat = 536;
  volume.sectorsPerCluster = 8;
  volume.rootDirSectors = 0;
  volume.reservedSectors = 32;
  volume.clusterBase = 3136;
  volume.fat1Start = 2080;
  volume.fat2Start = 2616;
  volume.mftStart = 11;  // no FAT volume has these; they show each field lands in its place
  volume.mftMirrStart = 12;
  volume.ntfsConst2 = 13;
  volume.indexBufferSectors = 14;
  volume.volumeEnd = 71679;
  volume.foundFsOrdinal = 3;
  return volume;
}

// Magic, version, range and volume parameters: the part every snapshot has.
// Version "2.0" holds its sector numbers in 64 bits, "1.0" in 32.
LeBytes Head(const SectorRange& range, const VolumeParameters& volume, std::string_view magic = "rsn4.03",
             std::string_view version = "1.0") {
  LeBytes out;
  const auto sector = [&](SectorNumber value) {
    if (version == "2.0") {
      out.U64(value);
    } else {
      out.U32(static_cast<std::uint32_t>(value));
    }
  };
  out.Text(magic).Text(version);
  out.U16(static_cast<std::uint16_t>(range.selectedFsType));
  sector(range.rangeStart);
  sector(range.rangeSize);
  sector(range.rangeEnd);
  out.U16(range.partitionIndex);
  out.U16(static_cast<std::uint16_t>(volume.fsType))
      .U32(volume.sectorsPerFat)
      .U32(volume.sectorsPerCluster)
      .U32(volume.rootDirSectors)
      .U32(volume.reservedSectors);
  sector(volume.clusterBase);
  sector(volume.fat1Start);
  sector(volume.fat2Start);
  sector(volume.mftStart);
  sector(volume.mftMirrStart);
  out.U32(volume.ntfsConst2).U32(volume.indexBufferSectors);
  sector(volume.volumeEnd);
  out.U16(volume.foundFsOrdinal);
  return out;
}

void PutFolder(LeBytes& out, const FolderRecord& folder) {
  out.U16(static_cast<std::uint16_t>(folder.name.size() + 15)).Text(folder.name);
  out.U32(folder.firstCluster).U32(folder.parentCluster).U16(folder.writeDate).U16(folder.accessDate);
  out.U8(folder.deleted).U16(0);
}

void PutFile(LeBytes& out, const FileRecord& file) {
  out.U16(static_cast<std::uint16_t>(file.name.size() + 21)).Text(file.name);
  out.U32(file.firstCluster).U32(file.parentCluster).U16(file.writeDate).U16(file.accessDate);
  out.U32(file.size).U8(file.deleted).U32(file.id);
}

std::vector<std::uint8_t> FatSnapshot(const std::vector<FolderRecord>& folders, const std::vector<FileRecord>& files,
                                      const VolumeParameters& volume = Fat32Volume(), const SectorRange& range = kRange,
                                      std::string_view version = "1.0") {
  LeBytes out = Head(range, volume, "rsn4.03", version);
  out.U32(static_cast<std::uint32_t>(folders.size()));
  for (const FolderRecord& folder : folders) PutFolder(out, folder);
  out.U32(static_cast<std::uint32_t>(files.size()));
  for (const FileRecord& file : files) PutFile(out, file);
  return out.bytes;
}

const std::vector<FolderRecord> kFolders = {
    {"Docs", 3, 0, 0x4C85, 0x4C86, 0},
    {"Old times", 4, 3, 0x3021, 0x3022, 1},
    // The same first cluster as Docs: the load merges the two.
    {"Docs again", 3, 9, 0x1111, 0x2222, 0},
};

const std::vector<FileRecord> kFiles = {
    {"A.TXT", 5, 0, 0x5001, 0x5002, 1234, 0, 77},
    {"résumé.doc", 6, 3, 0x5003, 0x5004, 0xFFFFFFFF, 1, 5},
    {"b", 0, 4, 0, 0, 0, 0, 0xFFFFFFFF},
};

void ExpectFolder(const FatFolderItem& got, const FolderRecord& want) {
  EXPECT_EQ(got.name, want.name);
  EXPECT_EQ(got.firstCluster, want.firstCluster);
  EXPECT_EQ(got.parentCluster, want.parentCluster);
  EXPECT_EQ(got.writeDate, want.writeDate);
  EXPECT_EQ(got.accessDate, want.accessDate);
  EXPECT_EQ(got.deleted, want.deleted != 0);
}

void ExpectFile(const FatFileItem& got, const FileRecord& want) {
  EXPECT_EQ(got.name, want.name);
  EXPECT_EQ(got.firstCluster, want.firstCluster);
  EXPECT_EQ(got.parentCluster, want.parentCluster);
  EXPECT_EQ(got.writeDate, want.writeDate);
  EXPECT_EQ(got.accessDate, want.accessDate);
  EXPECT_EQ(got.size, want.size);
  EXPECT_EQ(got.deleted, want.deleted != 0);
}

std::string Message(const std::vector<std::uint8_t>& file) {
  try {
    DecodeTreeSnapshot(file);
  } catch (const SnapshotError& error) {
    return error.what();
  }
  return "(read without complaint)";
}

TEST(TreeSnapshot, ReadsAFileWrittenFieldByField) {
  const TreeSnapshot snapshot = DecodeTreeSnapshot(FatSnapshot(kFolders, kFiles));
  EXPECT_EQ(snapshot.range, kRange);
  // rootDirStart is not stored: it reads back as 0, as Fat32Volume has it.
  EXPECT_EQ(snapshot.volume, Fat32Volume());
  ASSERT_EQ(snapshot.folders.size(), kFolders.size());
  for (std::size_t i = 0; i < kFolders.size(); ++i) ExpectFolder(snapshot.folders[i], kFolders[i]);
  ASSERT_EQ(snapshot.files.size(), kFiles.size());
  for (std::size_t i = 0; i < kFiles.size(); ++i) ExpectFile(snapshot.files[i], kFiles[i]);
}

TEST(TreeSnapshot, NamesThatAreNotUtf8AreRepairedWithoutGrowing) {
  // A damaged or foreign file: the names are shown, printed as JSON and
  // become file names, so only valid UTF-8 comes out.
  const TreeSnapshot snapshot = DecodeTreeSnapshot(
      FatSnapshot({{"Bad\xFF", 3, 0, 0, 0, 0}}, {{"x\xC0\xAF.txt", 5, 3, 0, 0, 1, 0, 1}}));
  ASSERT_EQ(snapshot.folders.size(), 1u);
  ASSERT_EQ(snapshot.files.size(), 1u);
  EXPECT_EQ(snapshot.folders[0].name, "Bad_");
  EXPECT_EQ(snapshot.files[0].name, "x__.txt") << "an overlong '/' stays two bad bytes";
}

TEST(TreeSnapshot, ApplyReplacesRangeVolumeAndStoreMergingFoldersAndNumberingFiles) {
  ScanState scan;
  VolumeParameters volume;
  volume.rootDirStart = 2;
  volume.clusterBase = 999;
  ItemStore store;
  store.AddFatFolder("stale", 3, 0, 0, 0, 0, false);
  store.AddFatFile("stale.txt", 8, 0, 0, 0, 1, false);
  store.counters.fileCount = 40;
  store.AddNtfsFolder("stale ntfs", 40, 5, 0, 0, 0, false, true);
  store.AddNtfsFile(100, "stale.bin", 41, 40, 0, 0, 1, false);

  ApplyTreeSnapshot(DecodeTreeSnapshot(FatSnapshot(kFolders, kFiles)), scan, volume, store);

  EXPECT_EQ(RangeOf(scan), kRange);
  VolumeParameters want = Fat32Volume();
  want.rootDirStart = 2;  // not stored: the one in use stays
  EXPECT_EQ(volume, want);
  ASSERT_EQ(store.FatFolders().Size(), 2u);
  ExpectFolder(store.FatFolders().Items()[0], kFolders[0]);
  ExpectFolder(store.FatFolders().Items()[1], kFolders[1]);
  EXPECT_EQ(store.FindFatFolder(3), 0u);
  ASSERT_EQ(store.FatFiles().Size(), kFiles.size());
  for (std::uint32_t i = 0; i < kFiles.size(); ++i) {
    ExpectFile(store.FatFiles().Items()[i], kFiles[i]);
    EXPECT_EQ(store.FatFiles().Items()[i].id, i);
  }
  EXPECT_EQ(store.counters.folderCount, 2u);
  EXPECT_EQ(store.counters.fileCount, 3u);
  EXPECT_EQ(store.NtfsFolders().Size(), 0u);
  EXPECT_EQ(store.NtfsFiles().Size(), 0u);
}

// A store holding the records; each file gets the id its record names.
ItemStore StoreOf(const std::vector<FolderRecord>& folders, const std::vector<FileRecord>& files) {
  ItemStore store;
  for (const FolderRecord& folder : folders) {
    store.AddFatFolder(folder.name, folder.firstCluster, folder.parentCluster, folder.writeDate, folder.accessDate, 0,
                       folder.deleted != 0);
  }
  for (const FileRecord& file : files) {
    store.counters.fileCount = file.id;
    store.AddFatFile(file.name, file.firstCluster, file.parentCluster, file.writeDate, file.accessDate, file.size,
                     file.deleted != 0);
  }
  return store;
}

TEST(TreeSnapshot, WriterLaysOutTheSameBytes) {
  const std::vector<FolderRecord> folders(kFolders.begin(), kFolders.begin() + 2);
  ScanState scan;
  ApplyRange(kRange, scan);
  EXPECT_EQ(EncodeTreeSnapshot(scan, Fat32Volume(), StoreOf(folders, kFiles)), FatSnapshot(folders, kFiles));
}

// A sector past 2^32 - 1 anywhere in the range or the parameters, and the
// file is version 2.0 with every sector number 64-bit; it reads back whole.
TEST(TreeSnapshot, SectorsPast32BitsAreWrittenInTheWideLayout) {
  constexpr SectorNumber kFar = SectorNumber{3} << 31;  // 3 TiB
  VolumeParameters farVolume = Fat32Volume();
  farVolume.clusterBase += kFar;
  farVolume.fat1Start += kFar;
  farVolume.fat2Start += kFar;
  farVolume.volumeEnd += kFar;
  VolumeParameters endPast = Fat32Volume();
  endPast.volumeEnd = kFar;
  const SectorRange farRange{FsType::fat32, kFar + 2048, 69632, kFar + 71679, 1};
  const struct {
    const char* name;
    SectorRange range;
    VolumeParameters volume;
  } cases[] = {
      {"the whole volume past 2 TiB", farRange, farVolume},
      {"only the range's size", {FsType::fat32, 2048, kFar, kFar + 2047, 0}, Fat32Volume()},
      {"only the volume's end", kRange, endPast},
  };
  const std::vector<FolderRecord> folders(kFolders.begin(), kFolders.begin() + 2);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScanState scan;
    ApplyRange(c.range, scan);
    const std::vector<std::uint8_t> written = EncodeTreeSnapshot(scan, c.volume, StoreOf(folders, kFiles));
    EXPECT_EQ(written, FatSnapshot(folders, kFiles, c.volume, c.range, "2.0"));
    const TreeSnapshot read = DecodeTreeSnapshot(written);
    EXPECT_EQ(read.range, c.range);
    EXPECT_EQ(read.volume, c.volume);
    EXPECT_EQ(read.files.size(), kFiles.size());
  }
}

TEST(TreeSnapshot, WriterByteCounts) {
  ScanState scan;
  ApplyRange(kRange, scan);
  const std::vector<std::uint8_t> empty = EncodeTreeSnapshot(scan, Fat32Volume(), ItemStore{});
  EXPECT_EQ(empty.size(), 86u);

  const std::vector<std::uint8_t> folder =
      EncodeTreeSnapshot(scan, Fat32Volume(), StoreOf({{"DOCS", 3, 0, 0, 0, 0}}, {}));
  ASSERT_EQ(folder.size(), 86u + 21u);
  // The folder count at 78, then the record's length.
  EXPECT_EQ(folder[78], 1);
  EXPECT_EQ(folder[82] | folder[83] << 8, 19);

  const std::vector<std::uint8_t> file =
      EncodeTreeSnapshot(scan, Fat32Volume(), StoreOf({}, {{"A.TXT", 5, 0, 0, 0, 10, 0, 0}}));
  ASSERT_EQ(file.size(), 86u + 28u);
  // No folders: the file count at 82, then the record's length.
  EXPECT_EQ(file[82], 1);
  EXPECT_EQ(file[86] | file[87] << 8, 26);

  // An NTFS snapshot holds the range and the parameters only, whatever the store holds.
  VolumeParameters ntfs;
  ntfs.fsType = FsType::ntfs;
  ItemStore store = StoreOf({{"DOCS", 3, 0, 0, 0, 0}}, {{"A.TXT", 5, 0, 0, 0, 10, 0, 0}});
  store.AddNtfsFile(100, "x", 41, 5, 0, 0, 1, false);
  EXPECT_EQ(EncodeTreeSnapshot(scan, ntfs, store).size(), 78u);
}

TEST(TreeSnapshot, RoundTripKeepsEveryItemAndNumbersFilesAgain) {
  std::vector<FolderRecord> folders = {{"Docs", 3, 0, 0x4C85, 0x4C86, 0},
                                       {"Letters", 7, 3, 1, 2, 1},
                                       {std::string(kMaxSnapshotNameBytes, 'L'), 8, 7, 3, 4, 0}};
  std::vector<FileRecord> files = {{"x.bin", 10, 7, 5, 6, 0xFFFFFFFF, 1, 42},
                                   {"日本語のファイル.txt", 11, 0, 7, 8, 6, 0, 3},
                                   {"", 0, 99, 0, 0, 0, 0, 42}};
  ScanState scan;
  ApplyRange(kRange, scan);
  const std::vector<std::uint8_t> bytes = EncodeTreeSnapshot(scan, Fat32Volume(), StoreOf(folders, files));

  ScanState loadedScan;
  VolumeParameters loadedVolume;
  ItemStore loaded;
  ApplyTreeSnapshot(DecodeTreeSnapshot(bytes), loadedScan, loadedVolume, loaded);

  EXPECT_EQ(RangeOf(loadedScan), kRange);
  EXPECT_EQ(loadedVolume, Fat32Volume());
  ASSERT_EQ(loaded.FatFolders().Size(), folders.size());
  for (std::size_t i = 0; i < folders.size(); ++i) ExpectFolder(loaded.FatFolders().Items()[i], folders[i]);
  ASSERT_EQ(loaded.FatFiles().Size(), files.size());
  for (std::uint32_t i = 0; i < files.size(); ++i) {
    ExpectFile(loaded.FatFiles().Items()[i], files[i]);
    EXPECT_EQ(loaded.FatFiles().Items()[i].id, i);
  }
  // The parent index is rebuilt too: a folder's children are found again.
  EXPECT_EQ(loaded.FatFiles().ChildrenOf(7).size(), 1u);
  EXPECT_EQ(loaded.FatFolders().ChildrenOf(3).size(), 1u);
}

// A first cluster guessed for an entry whose high word was cleared stays a
// guess once loaded, in bits of the deleted byte that older readers skip.
TEST(TreeSnapshot, AGuessedFirstClusterKeepsItsMark) {
  ItemStore store;
  FatFileItem guessed;
  guessed.name = "x.jpg";
  guessed.firstCluster = 0x10005;
  guessed.size = 100;
  guessed.deleted = true;
  guessed.highWordCleared = true;
  guessed.clusterInferred = true;
  store.AddFatFile(guessed);
  ScanState scan;
  ApplyRange(kRange, scan);
  const TreeSnapshot loaded = DecodeTreeSnapshot(EncodeTreeSnapshot(scan, Fat32Volume(), store));
  ASSERT_EQ(loaded.files.size(), 1u);
  EXPECT_TRUE(loaded.files[0].deleted);
  EXPECT_TRUE(loaded.files[0].clusterInferred);
  EXPECT_TRUE(loaded.files[0].highWordCleared);
  EXPECT_EQ(loaded.files[0].firstCluster, 0x10005u);
}

// exFAT's files keep what FAT's records cannot hold: sizes past 4 GiB, the
// valid data length, the overwritten and chain-assumed marks and the
// clusters the scan chose;
// a file cut inside that part is refused.
TEST(TreeSnapshot, ExfatRoundTripKeepsSizesValidLengthsAndClusterRuns) {
  VolumeParameters exfat = Fat32Volume();
  exfat.fsType = FsType::exfat;
  ItemStore store;
  store.AddFatFolder("Videos", 9, 0, 1, 2, 0, false);
  FatFileItem video;
  video.name = "clip.mp4";
  video.firstCluster = 10;
  video.parentCluster = 9;
  video.size = 6'000'000'000;
  video.validSize = 5'000'000'001;
  video.clusterRuns = {{10, 183'106}};
  video.chainAssumed = true;
  store.AddFatFile(video);
  FatFileItem gone;
  gone.name = "gone.txt";
  gone.firstCluster = 400'000;
  gone.size = 9000;
  gone.deleted = true;
  gone.validSize = 4000;
  gone.overwritten = true;
  gone.clusterRuns = {{400'000, 2}, {400'010, 1}};
  store.AddFatFile(gone);
  ScanState scan;
  ApplyRange(kRange, scan);
  const std::vector<std::uint8_t> bytes = EncodeTreeSnapshot(scan, exfat, store);

  ScanState loadedScan;
  VolumeParameters loadedVolume;
  ItemStore loaded;
  ApplyTreeSnapshot(DecodeTreeSnapshot(bytes), loadedScan, loadedVolume, loaded);
  EXPECT_EQ(loadedVolume.fsType, FsType::exfat);
  ASSERT_EQ(loaded.FatFolders().Size(), 1u);
  ASSERT_EQ(loaded.FatFiles().Size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    const FatFileItem& want = store.FatFiles().Items()[i];
    const FatFileItem& got = loaded.FatFiles().Items()[i];
    EXPECT_EQ(got.name, want.name);
    EXPECT_EQ(got.parentCluster, want.parentCluster);
    EXPECT_EQ(got.size, want.size);
    EXPECT_EQ(got.validSize, want.validSize);
    EXPECT_EQ(got.deleted, want.deleted);
    EXPECT_EQ(got.overwritten, want.overwritten);
    EXPECT_EQ(got.chainAssumed, want.chainAssumed);
    EXPECT_EQ(got.clusterRuns, want.clusterRuns);
  }
  for (const std::size_t cut : {std::size_t{1}, std::size_t{8}, std::size_t{21}}) {
    EXPECT_THROW(DecodeTreeSnapshot(std::span(bytes).first(bytes.size() - cut)), SnapshotError) << cut;
  }
}

TEST(TreeSnapshot, NtfsSnapshotLoadsRangeAndParametersAndEmptiesTheStore) {
  constexpr SectorRange kNtfsRange{FsType::ntfs, 63, 1000, 1062, 0};
  VolumeParameters ntfs;
  ntfs.fsType = FsType::ntfs;
  ntfs.sectorsPerCluster = 8;
  ntfs.clusterBase = 63;
  ntfs.mftStart = 100;
  ntfs.mftMirrStart = 600;
  ntfs.ntfsConst2 = 2;
  ntfs.indexBufferSectors = 8;
  ntfs.volumeEnd = 1062;
  const std::vector<std::uint8_t> bytes = Head(kNtfsRange, ntfs).bytes;
  ASSERT_EQ(bytes.size(), 78u);

  ScanState scan;
  VolumeParameters volume;
  ItemStore store = StoreOf({{"DOCS", 3, 0, 0, 0, 0}}, {{"A.TXT", 5, 0, 0, 0, 10, 0, 0}});
  store.AddNtfsFile(100, "x", 41, 5, 0, 0, 1, false);
  ApplyTreeSnapshot(DecodeTreeSnapshot(bytes), scan, volume, store);
  EXPECT_EQ(RangeOf(scan), kNtfsRange);
  EXPECT_EQ(volume, ntfs);
  EXPECT_EQ(store.FatFolders().Size() + store.FatFiles().Size() + store.NtfsFiles().Size(), 0u);
}

// One folder DOCS and one file A.TXT: the folder count at 78, the folder's
// record from 82 (21 bytes), the file count at 103, the file's record from 107.
std::vector<std::uint8_t> Small() {
  return FatSnapshot({{"DOCS", 3, 0, 1, 2, 0}}, {{"A.TXT", 5, 3, 3, 4, 10, 0, 0}});
}

// The file with its first bytes (magic, or magic and version) replaced.
std::vector<std::uint8_t> Headed(std::string_view text, std::vector<std::uint8_t> bytes = Small()) {
  std::copy(text.begin(), text.end(), bytes.begin());
  return bytes;
}

std::vector<std::uint8_t> Patched16(std::size_t offset, std::uint16_t value) {
  std::vector<std::uint8_t> bytes = Small();
  bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
  bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
  return bytes;
}

std::vector<std::uint8_t> Patched32(std::size_t offset, std::uint32_t value) {
  std::vector<std::uint8_t> bytes = Patched16(offset, value & 0xFFFF);
  bytes[offset + 2] = (value >> 16) & 0xFF;
  bytes[offset + 3] = static_cast<std::uint8_t>(value >> 24);
  return bytes;
}

// The type is stored as its code (after the head and the range): the codes
// of older files read as before, and FAT12's 50 comes back as FAT12.
TEST(TreeSnapshot, EveryFatTypeIsStoredByItsCode) {
  constexpr std::size_t kVolumeTypeOffset = kTreeSnapshotHeadBytes + 16;
  const struct {
    FsType type;
    std::uint16_t code;
  } cases[] = {{FsType::fat12, 50}, {FsType::fat16, 100}, {FsType::fat32, 200}};
  for (const auto& c : cases) {
    SCOPED_TRACE(FsTypeText(c.type));
    ScanState scan;
    ApplyRange({c.type, 0, 2880, 2879, 0}, scan);
    VolumeParameters volume = Fat32Volume();
    volume.fsType = c.type;
    const std::vector<std::uint8_t> bytes = EncodeTreeSnapshot(scan, volume, StoreOf({{"Docs", 3, 0, 1, 2, 0}}, {}));
    ASSERT_GT(bytes.size(), kVolumeTypeOffset + 1);
    EXPECT_EQ(bytes[kVolumeTypeOffset] | bytes[kVolumeTypeOffset + 1] << 8, c.code);
    ScanState loadedScan;
    VolumeParameters loadedVolume;
    ItemStore loaded;
    ApplyTreeSnapshot(DecodeTreeSnapshot(bytes), loadedScan, loadedVolume, loaded);
    EXPECT_EQ(loadedScan.selectedFsType, c.type);
    EXPECT_EQ(loadedVolume.fsType, c.type);
    EXPECT_EQ(loaded.FatFolders().Size(), 1u) << "a FAT snapshot keeps its folders";
  }
}

TEST(TreeSnapshot, RefusesEveryDamagedFile) {
  struct Damage {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  const std::vector<Damage> damages = {
      {"empty", {}},
      {"another magic", Headed("rsn4.02")},
      {"another version", Headed("rsn4.031.2")},
      {"a folder record shorter than its fields", Patched16(82, 14)},
      {"a file record shorter than its fields", Patched16(107, 20)},
      {"a folder name of 781 bytes", FatSnapshot({{std::string(781, 'n'), 3, 0, 0, 0, 0}}, {})},
      {"a file name of 781 bytes", FatSnapshot({}, {{std::string(781, 'n'), 5, 0, 0, 0, 1, 0, 0}})},
      {"one folder more than it holds", Patched32(78, 2)},
      {"one file more than it holds", Patched32(103, 2)},
      {"2^28 folders", Patched32(78, 0x10000000)},
      {"2^32 - 1 folders", Patched32(78, 0xFFFFFFFF)},
      {"2^32 - 1 files", Patched32(103, 0xFFFFFFFF)},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    EXPECT_THROW(DecodeTreeSnapshot(damage.bytes), SnapshotError);
  }
  // Cut anywhere, the file is short of what it announces.
  const std::vector<std::uint8_t> whole = Small();
  for (std::size_t length = 0; length < whole.size(); ++length) {
    SCOPED_TRACE("cut to " + std::to_string(length) + " bytes");
    EXPECT_THROW(DecodeTreeSnapshot(std::span(whole).first(length)), SnapshotError);
  }
}

TEST(TreeSnapshot, TakesTheLimitsOfEachField) {
  struct Limit {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::size_t folders;
    std::size_t files;
  };
  const std::vector<Limit> limits = {
      {"magic in upper case", Headed("RSN4.03"), 1, 1},
      {"magic in mixed case", Headed("Rsn4.03"), 1, 1},
      {"a folder without a name", FatSnapshot({{"", 3, 0, 0, 0, 0}}, {}), 1, 0},
      {"a file without a name", FatSnapshot({}, {{"", 5, 0, 0, 0, 1, 0, 0}}), 0, 1},
      {"names of 780 bytes",
       FatSnapshot({{std::string(780, 'n'), 3, 0, 0, 0, 0}}, {{std::string(780, 'f'), 5, 3, 0, 0, 1, 0, 0}}), 1, 1},
  };
  for (const Limit& limit : limits) {
    SCOPED_TRACE(limit.what);
    TreeSnapshot snapshot;
    ASSERT_NO_THROW(snapshot = DecodeTreeSnapshot(limit.bytes));
    EXPECT_EQ(snapshot.folders.size(), limit.folders);
    EXPECT_EQ(snapshot.files.size(), limit.files);
  }
}

TEST(TreeSnapshot, RefusalsSayWhy) {
  EXPECT_EQ(Message(Headed("rsn4.02")), "    Invalid version of the file found : rsn4.02");
  EXPECT_EQ(Message(Headed("salvex!")), "    Invalid version of the file found : salvex!");
  EXPECT_EQ(Message(Headed("Rsn4.031.2")), "              version of file does not match with current version 1.0");
}

// A search by content's store: "Found by Content/jpg" with a photo in two
// pieces, past 4 GiB, and a partial one with a damaged stretch.
ItemStore FoundStore() {
  ItemStore store;
  store.AddFatFolder(kFoundByContentName, kFoundByContentKey, kFatRootKey, 0, 0, 0, false);
  store.AddFatFolder("jpg", kFirstContentTypeKey, kFoundByContentKey, 0, 0, 0, false);
  const auto add = [&](std::string name, std::uint64_t size, CarvedPlacement placement) {
    FatFileItem file;
    file.name = std::move(name);
    file.parentCluster = kFirstContentTypeKey;
    file.size = size;
    file.deleted = true;
    file.carved = std::make_shared<const CarvedPlacement>(std::move(placement));
    store.AddFatFile(std::move(file));
    ++store.counters.fileCount;
  };
  add("f0004096.jpg", 5'000'000'000,
      {{{2'097'152, 4'000'000'000}, {8'000'000'000, 1'000'000'000}}, "jpg", CarvedVerdict::intact, CarvedCut::none,
       true, false, {}});
  add("2021-05-03 14-22-01 Camera.jpg", 70'001,
      {{{1'000'013, 70'001}}, "jpg", CarvedVerdict::partial, CarvedCut::damaged, false, true, {{4096, 8192}}});
  return store;
}

// Found files come back with their extents, marks and 64-bit sizes, in the
// layout's found version: a FAT volume's ("1.1"), no volume's (a whole disk
// searched) and a range past 2 TiB ("2.1").
TEST(TreeSnapshot, FoundFilesRoundTripInTheFoundVersions) {
  constexpr SectorNumber kFar = SectorNumber{3} << 31;
  const struct {
    const char* name;
    SectorRange range;
    FsType type;
    std::string_view version;
  } cases[] = {
      {"a FAT32 volume", kRange, FsType::fat32, "1.1"},
      {"no volume", {FsType::none, 0, 81920, 81920, 0}, FsType::none, "1.1"},
      {"past 2 TiB", {FsType::none, kFar, 81920, kFar + 81920, 0}, FsType::none, "2.1"},
  };
  const ItemStore store = FoundStore();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScanState scan;
    ApplyRange(c.range, scan);
    VolumeParameters volume = c.type == FsType::none ? VolumeParameters{} : Fat32Volume();
    const std::vector<std::uint8_t> bytes = EncodeTreeSnapshot(scan, volume, store);
    ASSERT_GT(bytes.size(), kTreeSnapshotHeadBytes);
    EXPECT_EQ(std::string(bytes.begin() + 7, bytes.begin() + 10), c.version);

    ScanState loadedScan;
    VolumeParameters loadedVolume;
    ItemStore loaded;
    ApplyTreeSnapshot(DecodeTreeSnapshot(bytes), loadedScan, loadedVolume, loaded);
    EXPECT_EQ(RangeOf(loadedScan), c.range);
    EXPECT_EQ(loadedVolume.fsType, c.type);
    ASSERT_EQ(loaded.FatFolders().Size(), 2u);
    EXPECT_EQ(loaded.FatFolders().Items()[0].name, kFoundByContentName);
    ASSERT_EQ(loaded.FatFiles().Size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
      const FatFileItem& want = store.FatFiles().Items()[i];
      const FatFileItem& got = loaded.FatFiles().Items()[i];
      EXPECT_EQ(got.name, want.name);
      EXPECT_EQ(got.size, want.size);
      EXPECT_EQ(got.parentCluster, kFirstContentTypeKey);
      ASSERT_NE(got.carved, nullptr);
      EXPECT_EQ(*got.carved, *want.carved);
    }
  }
}

// The found files' part of a snapshot of one found file (file record 0),
// field by field; each damage to it is refused before anything is applied.
struct FoundRecord {
  std::uint32_t position = 0;
  std::uint8_t verdict = 0;
  std::uint16_t familyBytes = 3;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> extents = {{4096, 100}};
  std::vector<std::pair<std::uint64_t, std::uint64_t>> spans = {};
};

std::vector<std::uint8_t> FoundSnapshot(std::uint32_t count, const std::vector<FoundRecord>& records,
                                        FsType type = FsType::fat32) {
  VolumeParameters volume = Fat32Volume();
  volume.fsType = type;
  LeBytes out = Head(kRange, volume, "rsn4.03", "1.1");
  out.U32(0).U32(1);
  PutFile(out, {"f.jpg", 0, kFoundByContentKey, 0, 0, 100, 1, 0});
  out.U32(count);
  for (const FoundRecord& record : records) {
    out.U32(record.position).U64(100).U8(record.verdict).U8(0).U8(0).U16(record.familyBytes);
    out.Text(std::string(record.familyBytes, 'j'));
    out.U32(static_cast<std::uint32_t>(record.extents.size()));
    for (const auto& [first, length] : record.extents) out.U64(first).U64(length);
    out.U32(static_cast<std::uint32_t>(record.spans.size()));
    for (const auto& [start, end] : record.spans) out.U64(start).U64(end);
  }
  return out.bytes;
}

TEST(TreeSnapshot, RefusesEveryDamagedFoundFile) {
  EXPECT_EQ(Message(FoundSnapshot(1, {FoundRecord{}})), "(read without complaint)");
  // A record without extents is shorter than any whole one: bytes after it
  // let the count pass, so that the record itself is judged.
  std::vector<std::uint8_t> noExtent = FoundSnapshot(1, {{.extents = {}}});
  noExtent.resize(noExtent.size() + 16);
  const struct {
    const char* what;
    std::vector<std::uint8_t> bytes;
    const char* message;
  } damages[] = {
      {"no found file", FoundSnapshot(0, {}), "holds none"},
      {"a file record that is not there", FoundSnapshot(1, {{.position = 1}}), "beyond the 1 records"},
      {"one file twice", FoundSnapshot(2, {FoundRecord{}, FoundRecord{}}), "out of turn"},
      {"an unknown verdict", FoundSnapshot(1, {{.verdict = 4}}), "verdict or cut is unknown"},
      {"a family name of 33 bytes", FoundSnapshot(1, {{.familyBytes = 33}}), "family name is too long"},
      {"no extent", noExtent, "lies nowhere"},
      {"an extent past 64 bits", FoundSnapshot(1, {{.extents = {{UINT64_MAX - 10, 11}}}}), "passes 64 bits"},
      {"a stretch ending before it starts", FoundSnapshot(1, {{.spans = {{50, 40}}}}), "ends before it starts"},
      {"more found files than it holds", FoundSnapshot(2, {FoundRecord{}}), "found files"},
      {"found files on NTFS", FoundSnapshot(1, {FoundRecord{}}, FsType::ntfs), "where no search files them"},
  };
  for (const auto& damage : damages) {
    SCOPED_TRACE(damage.what);
    EXPECT_NE(Message(damage.bytes).find(damage.message), std::string::npos) << Message(damage.bytes);
  }
}

}  // namespace
}  // namespace salvex
