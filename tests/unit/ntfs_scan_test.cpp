// The NTFS Standard Scan over a crafted MFT (which records become which
// items, under which folder, with which size and record sector) and the
// extraction of NTFS files from their records.

#include "ntfs/ntfs_scan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "items/folder_tree.h"
#include "items/folder_tree_model.h"
#include "items/item_paths.h"
#include "recovery/ntfs_extraction.h"
#include "ntfs/mft_record.h"
#include "ntfs/volume_extent.h"
#include "support/byte_image.h"
#include "support/mft_record_builder.h"
#include "support/recording_ui_port.h"
#include "support/recovery_bench.h"
#include "support/tool_runner.h"

namespace salvex {
namespace {

namespace fs = std::filesystem;
using testing::ByteImage;
using testing::MftRecordBuilder;
using testing::ReadHostFile;

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// Bytes that differ with their position and with `seed`.
std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + i / 251 + seed);
  return bytes;
}

}  // namespace

// Outcomes by name in failure messages; beside the type, where gtest looks.
static void PrintTo(ExtractionOutcome outcome, std::ostream* out) {
  static const char* const kNames[] = {"written", "notStarted", "refusedByFilter", "refusedByDeletedMode",
                                       "skippedDuplicate", "creationFailed", "writeFailed", "empty", "noData",
                                       "notRecoverable"};
  *out << kNames[static_cast<int>(outcome)];
}

namespace {

// --- The scan of a crafted MFT ---------------------------------------------

// The volume starts at sector 64 with one sector per cluster. The MFT's run
// list puts records 0-15 at cluster 100 and records 16-31 at cluster 300, so
// every record past 15 is found only through the second run.
constexpr std::uint32_t kVolumeStart = 64;
constexpr std::uint32_t kMftStart = kVolumeStart + 100;

std::uint32_t RecordSector(std::uint32_t record) {
  return record < 16 ? kMftStart + 2 * record : kVolumeStart + 300 + 2 * (record - 16);
}

// What the scan lists for one item, in the terms a test can write down.
struct Listed {
  std::string path;  // "(unreachable) NAME" when the tree does not reach it
  bool folder = false;
  std::uint64_t size = 0;
  bool deleted = false;
  std::uint32_t recordNumber = 0;
  SectorNumber recordSector = 0;  // files only

  bool operator==(const Listed&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Listed& item) {
  return out << (item.folder ? "folder " : "file ") << item.path << " size=" << item.size
             << " deleted=" << item.deleted << " record=" << item.recordNumber << " sector=" << item.recordSector;
}

class CraftedMftScan : public ::testing::Test {
 protected:
  // Room after the MFT for data clusters from 400 (sector 464) on.
  CraftedMftScan() : image(kVolumeStart + 600) {
    for (std::uint64_t sector = kVolumeStart + 400; sector < image.SectorCount(); ++sector) {
      for (std::size_t i = 0; i < kSectorSize; ++i) {
        image.Put8(sector * kSectorSize + i, static_cast<std::uint8_t>(sector + i * 3));
      }
    }
  }

  void Put(std::uint32_t record, const MftRecordBuilder& builder) {
    image.PutBytes(std::uint64_t{RecordSector(record)} * kSectorSize, builder.Build());
  }

  void WriteMft() {
    // Run 1: 32 clusters at cluster 100; run 2: 32 clusters at +200.
    const std::uint8_t runs[] = {0x11, 0x20, 0x64, 0x21, 0x20, 0xC8, 0x00};
    Put(0, MftRecordBuilder(1).FileName(u"$MFT", ntfs::kWin32AndDos, 5).NonResidentData(64 * kSectorSize, runs));
    Put(5, MftRecordBuilder(3).FileName(u".", ntfs::kWin32AndDos, 5));
  }

  // Scans, links lost folders and builds the tree, as the Standard Scan does.
  std::map<std::string, Listed> Scan() {
    std::uint16_t retries = 1;
    SectorReader reader(retries);
    reader.Open(image.Source());
    ScanState scan;
    scan.scanType = ScanType::standard;
    VolumeParameters volume;
    volume.fsType = FsType::ntfs;
    volume.clusterBase = kVolumeStart;
    volume.sectorsPerCluster = 1;
    volume.mftStart = kMftStart;
    VolumeContext context{reader, scan, volume, ui};
    MftRunList runList;
    EXPECT_TRUE(ScanNtfsVolume(context, store, runList));
    std::uint32_t lost = 0;
    LinkLostNtfsFolders(store, scan, ui, lost);
    BuildNtfsFolderTree(store, tree, ui, FolderTreeModel::kRoot);

    const NtfsItemPaths paths(store, tree);
    std::map<std::string, Listed> listed;
    const auto add = [&](Listed item) {
      const std::string key = (item.folder ? "folder " : "file ") + item.path;
      EXPECT_TRUE(listed.emplace(key, item).second) << "listed twice: " << item;
    };
    const auto& folders = store.NtfsFolders().Items();
    for (std::uint32_t i = 0; i < folders.size(); ++i) {
      const auto path = paths.FolderPath(i);
      add({path ? *path : "(unreachable) " + folders[i].name, true, 0, folders[i].deleted, folders[i].recordNumber, 0});
    }
    const auto& files = store.NtfsFiles().Items();
    for (std::uint32_t i = 0; i < files.size(); ++i) {
      const auto path = paths.FilePath(i);
      add({path ? *path : "(unreachable) " + files[i].name, false, files[i].size, files[i].deleted,
           files[i].recordNumber, files[i].recordSector});
    }
    return listed;
  }

  // Extracts a listed file as a recovery would, into `out`; its bytes.
  std::vector<std::uint8_t> Extract(const Listed& file, const std::string& name, ExtractionOutcome& outcome) {
    VolumeParameters volume;
    volume.fsType = FsType::ntfs;
    volume.clusterBase = kVolumeStart;
    volume.sectorsPerCluster = 1;
    volume.mftStart = kMftStart;
    RecoverySettings settings;
    SectorReader reader(settings.badSectorRetries);
    reader.Open(image.Source());
    RecoveryRunState run;
    SilentSavingView saving;
    std::string error;
    const std::unique_ptr<HostFolder> out = HostFolder::Open(dir.Path().string(), error);
    EXPECT_TRUE(out) << error;
    ExtractionContext context{reader, volume, settings, run, ui, saving, {}};
    ExtractionRequest request;
    request.destination = out.get();
    request.name = name;
    request.size = file.size;
    request.recordSector = file.recordSector;
    const ExtractionResult result = ExtractNtfsFile(context, request);
    outcome = result.outcome;
    EXPECT_EQ(result.outcome, ExtractionOutcome::written) << result.error;
    return ReadHostFile(dir / name);
  }

  // The bytes of `count` clusters from `first`, as the image holds them.
  std::vector<std::uint8_t> Clusters(std::uint64_t first, std::uint64_t count) const {
    const auto begin = image.Bytes().begin() + static_cast<std::ptrdiff_t>((kVolumeStart + first) * kSectorSize);
    return {begin, begin + static_cast<std::ptrdiff_t>(count * kSectorSize)};
  }

  ByteImage image;
  testing::RecordingUiPort ui;
  ItemStore store;
  FolderTreeModel tree;
  testing::TempDir dir;
};

TEST_F(CraftedMftScan, ListsEachRecordOnceUnderItsFolder) {
  WriteMft();
  const std::vector<std::uint8_t> gone = Pattern(300, 1);
  Put(16, MftRecordBuilder(3).FileName(u"Docs", ntfs::kWin32, 5));
  Put(17, MftRecordBuilder(2).FileName(u"Old", ntfs::kWin32, 16));  // a deleted folder
  Put(18, MftRecordBuilder(0).FileName(u"gone.txt", ntfs::kWin32, 17).ResidentData(gone));  // a deleted file
  // The base record keeps only its attribute list; its name and data sit
  // in extension record 20, which is no file of its own.
  Put(19, MftRecordBuilder(1).AttributeList({{0x10, 19}, {0x30, 20}, {0x80, 20}}));
  Put(20, MftRecordBuilder(1, 19 | (std::uint64_t{1} << 48))
              .FileName(u"split.txt", ntfs::kWin32, 16)
              .ResidentData(Bytes("hello")));
  Put(21, MftRecordBuilder(1).FileName(u"REPORT~1.TXT", ntfs::kDos, 5).ResidentData(Bytes("dos")));
  // The named stream comes first; the size is the unnamed data's, past 4 GiB.
  const std::uint8_t hole[] = {0x04, 0x00, 0x00, 0x00, 0x01};
  Put(22, MftRecordBuilder(1)
              .FileName(u"streams.bin", ntfs::kWin32, 16)
              .ResidentData(Bytes("[ZoneTransfer]"), u"Zone.Identifier")
              .NonResidentData(5'000'000'001ull, hole));
  Put(23, MftRecordBuilder(3).FileName(u"Orphan", ntfs::kWin32, 300));
  Put(24, MftRecordBuilder(1).FileName(u"stray.txt", ntfs::kWin32, 301).ResidentData(Bytes("x")));
  // Win32 comes before POSIX, whatever their order in the record.
  Put(25, MftRecordBuilder(1)
              .FileName(u"posix name", ntfs::kPosix, 5)
              .FileName(u"Win32 Name.txt", ntfs::kWin32, 5)
              .ResidentData(Bytes("ab")));
  // ntfs-3g gives new files a POSIX name alone.
  Put(26, MftRecordBuilder(1).FileName(u"Отчёт.txt", ntfs::kPosix, 5).ResidentData(Bytes("abc")));
  // Win32-and-DOS before DOS, DOS before POSIX.
  Put(27, MftRecordBuilder(1)
              .FileName(u"BOTH~1.TXT", ntfs::kDos, 5)
              .FileName(u"Both names.txt", ntfs::kWin32AndDos, 5)
              .ResidentData(Bytes("abcd")));
  Put(28, MftRecordBuilder(1)
              .FileName(u"posix long name.txt", ntfs::kPosix, 5)
              .FileName(u"POSIXL~1.TXT", ntfs::kDos, 5)
              .ResidentData(Bytes("abcde")));
  // A record without any name is not an item.
  Put(29, MftRecordBuilder(1).ResidentData(Bytes("nameless")));

  const std::map<std::string, Listed> listed = Scan();

  // "Dir0" stands for record 300, the missing parent of a folder; "Dir1" for
  // record 301, the missing parent of a file: folders are linked first.
  const std::vector<Listed> expected = {
      {"Docs", true, 0, false, 16, 0},
      {"Docs/Old", true, 0, true, 17, 0},
      {"Dir0", true, 0, false, 300, 0},
      {"Dir0/Orphan", true, 0, false, 23, 0},
      {"Dir1", true, 0, false, 301, 0},
      {"$MFT", false, 64 * kSectorSize, false, 0, RecordSector(0)},
      {"Docs/Old/gone.txt", false, 300, true, 18, RecordSector(18)},
      {"Docs/split.txt", false, 5, false, 19, RecordSector(20)},
      {"REPORT~1.TXT", false, 3, false, 21, RecordSector(21)},
      {"Docs/streams.bin", false, 5'000'000'001ull, false, 22, RecordSector(22)},
      {"Docs/streams.bin:Zone.Identifier", false, 14, false, 22, RecordSector(22)},  // its named stream
      {"Dir1/stray.txt", false, 1, false, 24, RecordSector(24)},
      {"Win32 Name.txt", false, 2, false, 25, RecordSector(25)},
      {"Отчёт.txt", false, 3, false, 26, RecordSector(26)},
      {"Both names.txt", false, 4, false, 27, RecordSector(27)},
      {"POSIXL~1.TXT", false, 5, false, 28, RecordSector(28)},
  };
  std::map<std::string, Listed> wanted;
  for (const Listed& item : expected) wanted[(item.folder ? "folder " : "file ") + item.path] = item;
  for (const auto& [key, item] : wanted) {
    const auto found = listed.find(key);
    if (found == listed.end()) {
      ADD_FAILURE() << "missing: " << item;
    } else {
      EXPECT_EQ(found->second, item);
    }
  }
  for (const auto& [key, item] : listed) {
    if (!wanted.contains(key)) ADD_FAILURE() << "unexpected: " << item;
  }
}

// --- Extraction --------------------------------------------------------------

// Two sectors per cluster from sector 64; every data byte tells where it lies.
constexpr std::uint32_t kClusterBase = 64;
constexpr std::uint32_t kSectorsPerCluster = 2;
constexpr std::uint64_t kClusterBytes = kSectorsPerCluster * kSectorSize;
constexpr std::uint32_t kRecordSector = 10;

class NtfsExtraction : public ::testing::Test {
 protected:
  NtfsExtraction() : image(kClusterBase + 256 * kSectorsPerCluster) {
    std::vector<std::uint8_t>& bytes = image.Bytes();
    for (std::size_t at = kClusterBase * kSectorSize; at < bytes.size(); ++at) {
      bytes[at] = static_cast<std::uint8_t>((at / kSectorSize) * 7 + at % 251);
    }
    volume.fsType = FsType::ntfs;
    volume.clusterBase = kClusterBase;
    volume.sectorsPerCluster = kSectorsPerCluster;
    fs::create_directory(dir / "out");
    std::string error;
    out = HostFolder::Open((dir / "out").string(), error);
  }

  // The bytes of `count` clusters from `first`, as the image holds them.
  std::vector<std::uint8_t> Clusters(std::uint64_t first, std::uint64_t count) const {
    const auto begin = image.Bytes().begin() + static_cast<std::ptrdiff_t>((kClusterBase + first * kSectorsPerCluster) * kSectorSize);
    return {begin, begin + static_cast<std::ptrdiff_t>(count * kClusterBytes)};
  }

  ExtractionResult Extract(const MftRecordBuilder& record, std::uint64_t size) {
    image.PutBytes(kRecordSector * kSectorSize, record.Build());
    reader.Open(image.Source());
    ExtractionContext context{reader, volume, settings, run, ui, saving, {}, lastSector};
    ExtractionRequest request;
    request.destination = out.get();
    request.name = "file.bin";
    request.size = size;
    request.recordSector = kRecordSector;
    request.mode = ExtractMode::recover;
    return ExtractNtfsFile(context, request);
  }

  fs::path Written() const { return dir / "out" / "file.bin"; }

  ByteImage image;
  VolumeParameters volume;
  std::uint32_t lastSector = 0;  // the volume's end: unknown unless a test sets it
  RecoverySettings settings;
  SectorReader reader{settings.badSectorRetries};
  RecoveryRunState run;
  testing::RecordingUiPort ui;
  SilentSavingView saving;
  testing::TempDir dir;
  std::unique_ptr<HostFolder> out;
};

TEST_F(NtfsExtraction, ResidentDataComesFromTheRecordPastANamedStream) {
  // 600 bytes from offset ~100 cross the end of the record's first sector,
  // whose last two bytes only the update sequence gives back.
  const std::vector<std::uint8_t> data = Pattern(600, 9);
  const ExtractionResult result =
      Extract(MftRecordBuilder(1).ResidentData(Bytes("not this"), u"ads").ResidentData(data), data.size());

  EXPECT_EQ(result.outcome, ExtractionOutcome::written) << result.error;
  EXPECT_EQ(ReadHostFile(Written()), data);
}

TEST_F(NtfsExtraction, ResidentDataIsNeverTakenFromPastTheRecord) {
  // Sizes the item list may carry from a damaged record or snapshot: one
  // byte too many for the record, and one so large the end would wrap.
  const std::vector<std::uint8_t> data = Pattern(100, 3);
  for (const std::uint64_t size : {std::uint64_t{1024}, UINT64_MAX - 15}) {
    SCOPED_TRACE(size);
    const ExtractionResult result = Extract(MftRecordBuilder(1).ResidentData(data), size);
    EXPECT_EQ(result.outcome, ExtractionOutcome::noData) << result.error;
    EXPECT_FALSE(fs::exists(Written()));
  }
}

TEST_F(NtfsExtraction, NonResidentDataFollowsTheRunsInOrder) {
  // Three clusters at 200, then two at 200 - 50 = 150; the last cluster is
  // used only in part.
  const std::uint8_t runs[] = {0x21, 0x03, 0xC8, 0x00, 0x11, 0x02, 0xCE};
  const std::uint64_t size = 5 * kClusterBytes - 100;
  const ExtractionResult result = Extract(MftRecordBuilder(1).NonResidentData(size, runs), size);

  std::vector<std::uint8_t> expected = Clusters(200, 3);
  const std::vector<std::uint8_t> second = Clusters(150, 2);
  expected.insert(expected.end(), second.begin(), second.end());
  expected.resize(size);
  EXPECT_EQ(result.outcome, ExtractionOutcome::written) << result.error;
  EXPECT_EQ(result.bytesWritten, size);
  EXPECT_EQ(ReadHostFile(Written()), expected);
}

TEST_F(NtfsExtraction, ASparseRunIsWrittenAsZeros) {
  // Two clusters at 16, a hole of three, then one cluster at 16 + 5 = 21:
  // the step after a hole counts from the last run that had clusters.
  const std::uint8_t runs[] = {0x11, 0x02, 0x10, 0x01, 0x03, 0x11, 0x01, 0x05};
  const std::uint64_t size = 6 * kClusterBytes - 1;
  const ExtractionResult result = Extract(MftRecordBuilder(1).NonResidentData(size, runs), size);

  std::vector<std::uint8_t> expected = Clusters(16, 2);
  expected.resize(expected.size() + 3 * kClusterBytes, 0);
  const std::vector<std::uint8_t> last = Clusters(21, 1);
  expected.insert(expected.end(), last.begin(), last.end());
  expected.resize(size);
  EXPECT_EQ(result.outcome, ExtractionOutcome::written) << result.error;
  EXPECT_EQ(ReadHostFile(Written()), expected);
}

TEST_F(NtfsExtraction, CompressedOrEncryptedDataIsRefusedAndNoFileMade) {
  const std::uint8_t runs[] = {0x11, 0x04, 0x10};
  for (const std::uint16_t flags : {std::uint16_t{0x0001}, std::uint16_t{0x4000}}) {
    SCOPED_TRACE(flags);
    const ExtractionResult result =
        Extract(MftRecordBuilder(1).NonResidentData(4 * kClusterBytes, runs, u"", flags), 4 * kClusterBytes);
    EXPECT_EQ(result.outcome, ExtractionOutcome::notRecoverable);
    EXPECT_FALSE(fs::exists(Written()));
  }
}

// A damaged record may claim runs of 2^47 clusters, or clusters of the next
// partition: neither its listed size nor what is written passes the volume.
TEST_F(NtfsExtraction, NothingPastTheVolumesEndIsTakenForTheFile) {
  const std::uint64_t volumeClusters = 100;
  lastSector = static_cast<std::uint32_t>(kClusterBase + volumeClusters * kSectorsPerCluster - 1);
  struct Case {
    const char* name;
    std::vector<std::uint8_t> runs;
    std::uint64_t size;
    bool beyond;
    std::uint64_t written;  // clusters from 90
  };
  const Case cases[] = {
      {"a run of 2^46 clusters", {0x16, 0, 0, 0, 0, 0, 0x40, 0x5A}, std::uint64_t{1} << 60, true, 10},
      {"a run that passes the end", {0x11, 0x14, 0x5A}, 20 * kClusterBytes, true, 10},
      {"a run inside", {0x11, 0x05, 0x5A}, 5 * kClusterBytes, false, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const MftRecordBuilder record = MftRecordBuilder(1).NonResidentData(c.size, c.runs);
    const VolumeBoundSize bound = BoundToVolume(record.Build(), c.size, volumeClusters, kSectorsPerCluster);
    EXPECT_EQ(bound.beyondVolume, c.beyond);
    EXPECT_LE(bound.size, volumeClusters * kClusterBytes);
    for (const auto& left : fs::directory_iterator(dir / "out")) fs::remove(left.path());
    const ExtractionResult result = Extract(record, bound.size);
    const std::vector<std::uint8_t> inside = Clusters(90, c.written);
    if (!bound.beyondVolume) {
      EXPECT_EQ(result.outcome, ExtractionOutcome::written) << result.error;
      EXPECT_EQ(ReadHostFile(Written()), inside);
      continue;
    }
    EXPECT_EQ(result.outcome, ExtractionOutcome::writeFailed);
    EXPECT_NE(result.error.find("leave the volume"), std::string::npos) << result.error;
    EXPECT_EQ(ReadHostFile(dir / "out" / "file.bin.partial"), inside);
  }
}

TEST_F(NtfsExtraction, AnEmptyFileIsCountedNotCreated) {
  const ExtractionResult result = Extract(MftRecordBuilder(1).ResidentData({}), 0);

  EXPECT_EQ(result.outcome, ExtractionOutcome::empty);
  EXPECT_FALSE(fs::exists(Written()));
}

TEST_F(CraftedMftScan, RecordsAfterARunCutByTheDiskEndKeepTheirNumbers) {
  // Records 0-15 at cluster 100; records 16-23 at cluster 591, of which
  // only 9 sectors lie on the disk (the last record there is cut in half);
  // records 24-27 at cluster 300.
  const std::uint8_t runs[] = {0x11, 0x20, 0x64, 0x21, 0x10, 0xEB, 0x01, 0x21, 0x08, 0xDD, 0xFE, 0x00};
  ASSERT_EQ(image.SectorCount(), kVolumeStart + 591 + 9);
  Put(0, MftRecordBuilder(1).FileName(u"$MFT", ntfs::kWin32AndDos, 5).NonResidentData(56 * kSectorSize, runs));
  Put(5, MftRecordBuilder(3).FileName(u".", ntfs::kWin32AndDos, 5));
  image.PutBytes((kVolumeStart + 300 + 2) * kSectorSize,
                 MftRecordBuilder(3).FileName(u"Later", ntfs::kWin32, 5).Build());
  image.PutBytes((kVolumeStart + 300 + 4) * kSectorSize,
                 MftRecordBuilder(1).FileName(u"inside.txt", ntfs::kWin32, 25).ResidentData(Bytes("in")).Build());

  const std::map<std::string, Listed> listed = Scan();

  ASSERT_TRUE(listed.contains("folder Later")) << "the folder is missing from the listing";
  EXPECT_EQ(listed.at("folder Later").recordNumber, 25u);
  ASSERT_TRUE(listed.contains("file Later/inside.txt")) << "the file is not placed in its folder";
  EXPECT_EQ(listed.at("file Later/inside.txt").recordNumber, 26u);
}

TEST_F(CraftedMftScan, TheRecordSectorOfASplitFileLeadsToItsData) {
  WriteMft();
  Put(19, MftRecordBuilder(1).AttributeList({{0x30, 20}, {0x80, 20}}));
  Put(20, MftRecordBuilder(1, 19).FileName(u"split.txt", ntfs::kWin32, 5).ResidentData(Bytes("hello")));
  const std::map<std::string, Listed> listed = Scan();
  ASSERT_TRUE(listed.contains("file split.txt"));

  ExtractionOutcome outcome{};
  EXPECT_EQ(Extract(listed.at("file split.txt"), "split.txt", outcome), Bytes("hello"));
}

TEST_F(CraftedMftScan, AnAttributeListKeptOutsideTheRecordStillLeadsToTheName) {
  // When its record fills up, ntfs-3g moves the attribute list into a
  // cluster of its own (here cluster 500): the name is in record 20.
  WriteMft();
  std::vector<std::uint8_t> list(3 * 32, 0);
  const std::pair<std::uint32_t, std::uint32_t> entries[] = {{0x10, 19}, {0x30, 20}, {0x80, 20}};
  for (std::size_t i = 0; i < 3; ++i) {
    std::uint8_t* entry = list.data() + 32 * i;
    entry[0] = static_cast<std::uint8_t>(entries[i].first);
    entry[4] = 32;    // entry length
    entry[7] = 26;    // name offset
    entry[16] = static_cast<std::uint8_t>(entries[i].second);
  }
  image.PutBytes((kVolumeStart + 500) * kSectorSize, list);
  const std::uint8_t listRuns[] = {0x21, 0x01, 0xF4, 0x01};  // one cluster at 500
  testing::MftRecordBytes base = MftRecordBuilder(1).NonResidentData(list.size(), listRuns).Build();
  base[56] = 0x20;  // the builder's non-resident attribute, made an attribute list
  image.PutBytes(std::uint64_t{RecordSector(19)} * kSectorSize, base);
  Put(20, MftRecordBuilder(1, 19).FileName(u"far list.txt", ntfs::kWin32, 5).ResidentData(Bytes("far")));

  const std::map<std::string, Listed> listed = Scan();

  ASSERT_TRUE(listed.contains("file far list.txt")) << "the file is missing from the listing";
  EXPECT_EQ(listed.at("file far list.txt"), (Listed{"far list.txt", false, 3, false, 19, RecordSector(20)}));
}

TEST_F(CraftedMftScan, DataWhoseRunsGoOnInAnExtensionRecordIsCopiedWhole) {
  // Clusters 0-1 of the data are mapped in the base record (at cluster 400),
  // clusters 2-3 in record 20 (at cluster 450), whose attribute starts at
  // VCN 2; its run list starts again from cluster 0.
  WriteMft();
  const std::uint8_t firstRuns[] = {0x21, 0x02, 0x90, 0x01};
  const std::uint8_t laterRuns[] = {0x21, 0x02, 0xC2, 0x01};
  const std::uint64_t size = 4 * kSectorSize - 10;
  Put(19, MftRecordBuilder(1)
              .AttributeList({{0x30, 19}, {0x80, 19}, {0x80, 20}})
              .FileName(u"spread.bin", ntfs::kWin32, 5)
              .NonResidentData(size, firstRuns));
  MftRecordBuilder extension(1, 19);
  extension.NonResidentData(0, laterRuns);
  testing::MftRecordBytes later = extension.Build();
  later[56 + 16] = 2;  // lowest VCN
  later[56 + 24] = 3;  // highest VCN
  image.PutBytes(std::uint64_t{RecordSector(20)} * kSectorSize, later);
  const std::map<std::string, Listed> listed = Scan();
  ASSERT_TRUE(listed.contains("file spread.bin"));
  EXPECT_EQ(listed.at("file spread.bin").size, size);

  ExtractionOutcome outcome{};
  const std::vector<std::uint8_t> bytes = Extract(listed.at("file spread.bin"), "spread.bin", outcome);

  std::vector<std::uint8_t> expected = Clusters(400, 2);
  const std::vector<std::uint8_t> second = Clusters(450, 2);
  expected.insert(expected.end(), second.begin(), second.end());
  expected.resize(size);
  EXPECT_EQ(bytes.size(), size);
  EXPECT_TRUE(bytes == expected);
}

}  // namespace
}  // namespace salvex
