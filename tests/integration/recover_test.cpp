// salvex recover on FAT16 and FAT32 images made by mkfs.fat and mtools:
// every file back byte for byte with its date (fragmented and deleted ones
// included), the chosen paths only, the duplicate and deleted-file modes,
// and the image left exactly as it was.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/recovery_bench.h"
#include "support/recovery_tool_disk.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

struct Day {
  int year;
  int month;
  int day;
};

std::int64_t NoonOf(Day date) {
  std::tm parts{};
  parts.tm_year = date.year - 1900;
  parts.tm_mon = date.month - 1;
  parts.tm_mday = date.day;
  parts.tm_hour = 12;
  return ::timegm(&parts);
}

// A file put on the volume, and where it should come back.
struct Planted {
  std::string path;
  std::string bytes;
  Day date;
  bool deleted = false;
  bool contentKept = true;   // false: deleted, and its clusters taken by a later file
};

struct VolumeCase {
  const char* name;
  FsType type;
  std::uint32_t sectorsPerCluster;
  std::uint32_t sectors;
  std::uint32_t reservedSectors = 0;  // 0: as mkfs.fat chooses
};

std::vector<std::string> Sorted(std::vector<std::string> paths) {
  std::sort(paths.begin(), paths.end());
  return paths;
}

const char* const kNonAscii = "Résumé – 日本語 файл.txt";

class RecoverTest : public ::testing::TestWithParam<VolumeCase> {
 protected:
  void SetUp() override {
    SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mmd", "mdel", "mdeltree", "mshowfat");
    const VolumeCase& volume = GetParam();
    clusterBytes = volume.sectorsPerCluster * 512;
    RecoveryToolDisk disk(dir / "disk.img", volume.type, volume.sectorsPerCluster, volume.sectors,
                          volume.reservedSectors);
    image = disk.Image();
    disk.MakeFolders({"Docs", "Docs/Old", "Pads", "Trash"});
    const std::size_t c = clusterBytes;
    Plant(disk, "", {{"one byte.bin", 1}, {"one cluster.bin", c}, {"cluster and a byte.bin", c + 1},
                     {"big.bin", (3 << 20) + 123}, {kNonAscii, 5000}, {"empty.txt", 0}});
    Plant(disk, "Docs", {{"letter.txt", 2 * c + 100}});
    Plant(disk, "Docs/Old", {{"memo.txt", 700}});
    // Three clusters each; freeing every other one leaves holes a later
    // file has to be spread over.
    std::vector<std::pair<std::string, std::size_t>> pads;
    for (int pad = 1; pad <= 6; ++pad) pads.emplace_back("pad " + std::to_string(pad) + ".bin", 3 * c - 10);
    Plant(disk, "Pads", pads);
    disk.Delete({"Pads/pad 2.bin", "Pads/pad 4.bin"});
    for (const char* freed : {"Pads/pad 2.bin", "Pads/pad 4.bin"}) {
      Find(freed).deleted = true;
      Find(freed).contentKept = false;
    }
    if (volume.type == FsType::fat32) disk.ForgetNextFreeCluster();
    Plant(disk, "", {{"frag.bin", 8 * c + 5}});
    ASSERT_GE(disk.ClusterRuns("frag.bin").size(), 3u) << "frag.bin should fill both holes";
    // Deleted last, so nothing takes their clusters.
    Plant(disk, "", {{"gone report.txt", 3 * c + 5}});
    Plant(disk, "Trash", {{"thrown away.dat", 2 * c}});
    ASSERT_EQ(disk.ClusterRuns("gone report.txt").size(), 1u);
    ASSERT_EQ(disk.ClusterRuns("Trash/thrown away.dat").size(), 1u);
    disk.Delete({"gone report.txt"});
    disk.DeleteTree("Trash");
    Find("gone report.txt").deleted = true;
    Find("Trash/thrown away.dat").deleted = true;
    pristine = dir / "pristine.img";
    fs::copy_file(image, pristine);
  }

  // Copies the files into `folder` with one mcopy, each with its own date.
  void Plant(RecoveryToolDisk& disk, const std::string& folder,
             const std::vector<std::pair<std::string, std::size_t>>& files) {
    std::vector<HostFile> batch;
    for (const auto& [name, size] : files) {
      const int n = static_cast<int>(planted.size());
      const std::string path = folder.empty() ? name : folder + "/" + name;
      Planted file{path, PatternBytes(path, size), {1995 + n, n % 12 + 1, n % 28 + 1}};
      batch.push_back({name, file.bytes, NoonOf(file.date)});
      planted.push_back(std::move(file));
    }
    disk.CopyFiles(folder, batch);
  }

  Planted& Find(const std::string& path) {
    return *std::find_if(planted.begin(), planted.end(), [&](const Planted& file) { return file.path == path; });
  }

  // Runs salvex recover into `out`; the image must come out of it unchanged.
  CommandResult Recover(const fs::path& out, const std::string& arguments) {
    const CommandResult result = RunCommand(std::string(SALVEX_BINARY) + " recover " + ShellQuote(image.string()) +
                                            " --partition 1 --out " + ShellQuote(out.string()) + " " + arguments);
    EXPECT_TRUE(SameFileBytes(image, pristine)) << "salvex recover " << arguments << " changed the image";
    return result;
  }

  // The files that should come back from `--all` with this deleted-file mode.
  std::vector<const Planted*> Recoverable(bool live, bool deleted) const {
    std::vector<const Planted*> files;
    for (const Planted& file : planted) {
      if (file.deleted ? deleted : live) files.push_back(&file);
    }
    return files;
  }

  // The file's bytes (unless its clusters were taken) and its write date's day.
  static void ExpectRecoveredAt(const fs::path& path, const Planted& file) {
    if (file.contentKept) {
      const std::vector<std::uint8_t> bytes = ReadHostFile(path);
      EXPECT_TRUE(bytes == std::vector<std::uint8_t>(file.bytes.begin(), file.bytes.end()))
          << file.path << ": " << bytes.size() << " bytes, " << file.bytes.size() << " expected";
    }
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0) << path;
    std::tm utc{};
    ::gmtime_r(&info.st_mtime, &utc);
    EXPECT_EQ((std::vector<int>{utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday}),
              (std::vector<int>{file.date.year, file.date.month, file.date.day}))
        << file.path;
  }

  // Each file at its own path below `out`.
  static void ExpectRecovered(const fs::path& out, const std::vector<const Planted*>& files) {
    for (const Planted* file : files) ExpectRecoveredAt(out / file->path, *file);
  }

  static std::vector<std::string> FilesBelow(const fs::path& root) {
    std::vector<std::string> files = TreeBelow(root);
    std::erase_if(files, [](const std::string& path) { return path.ends_with("/"); });
    return files;
  }

  static std::vector<std::string> PathsOf(const std::vector<const Planted*>& files) {
    std::vector<std::string> paths;
    for (const Planted* file : files) paths.push_back(file->path);
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  TempDir dir;
  fs::path image;
  fs::path pristine;
  std::uint32_t clusterBytes = 0;
  std::vector<Planted> planted;
};

TEST_P(RecoverTest, AllBringsBackEveryFileByteForByteWithItsDate) {
  const fs::path out = dir / "out";
  const CommandResult result = Recover(out, "--all");

  EXPECT_EQ(result.status, 0) << result.output;
  const std::vector<const Planted*> files = Recoverable(true, true);
  std::vector<std::string> tree = PathsOf(files);
  tree.insert(tree.end(), {"Docs/", "Docs/Old/", "Pads/", "Trash/"});
  std::sort(tree.begin(), tree.end());
  EXPECT_EQ(TreeBelow(out), tree);
  ExpectRecovered(out, files);
  EXPECT_NE(result.output.find("Recovered " + std::to_string(files.size()) + " file(s)"), std::string::npos)
      << result.output;
  EXPECT_NE(result.output.find("same file system"), std::string::npos) << "the image lies next to the destination";
}

TEST_P(RecoverTest, WithTheBootSectorsGoneEveryFileStillComesBack) {
  // The geometry then comes from the folders found; the FATs must still be
  // found where they are, or fragmented files come back wrong.
  const std::string zeros(kSectorSize, '\0');
  std::fstream disk(image, std::ios::in | std::ios::out | std::ios::binary);
  for (const std::uint32_t sector : {0u, 6u}) {  // the boot sector and FAT32's copy of it
    disk.seekp(std::streamoff{RecoveryToolDisk::kPartitionStart + sector} * kSectorSize);
    disk.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
  }
  disk.close();
  fs::copy_file(image, pristine, fs::copy_options::overwrite_existing);
  const fs::path out = dir / "out";

  const CommandResult result = Recover(out, "--all");

  EXPECT_EQ(result.status, 0) << result.output;
  ExpectRecovered(out, Recoverable(true, true));
}

TEST_P(RecoverTest, PathsBringBackOnlyTheChosenFoldersAndFiles) {
  const fs::path out = dir / "out";
  const CommandResult result =
      Recover(out, "Docs /cluster\\ and\\ a\\ byte.bin " + ShellQuote(kNonAscii) + " Trash/ Pads/pad\\ 3.bin");

  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(TreeBelow(out), Sorted({"Docs/", "Docs/Old/", "Docs/Old/memo.txt", "Docs/letter.txt", "Trash/",
                                    "Trash/thrown away.dat", "cluster and a byte.bin", "pad 3.bin", kNonAscii}));
  ExpectRecovered(out, {&Find("Docs/letter.txt"), &Find("Docs/Old/memo.txt"), &Find("Trash/thrown away.dat"),
                        &Find("cluster and a byte.bin"), &Find(kNonAscii)});
  ExpectRecoveredAt(out / "pad 3.bin", Find("Pads/pad 3.bin"));
}

TEST_P(RecoverTest, DuplicatesAreRenamedSkippedOrOverwritten) {
  const std::vector<const Planted*> docs = {&Find("Docs/letter.txt"), &Find("Docs/Old/memo.txt")};
  const fs::path renamed = dir / "renamed";
  for (const char* mode : {"", "--duplicates rename", ""}) {
    const CommandResult result = Recover(renamed, std::string("Docs ") + mode);
    EXPECT_EQ(result.status, 0) << result.output;
  }
  EXPECT_EQ(FilesBelow(renamed),
            Sorted({"Docs/letter.txt", "Docs/Copy (1 ) of letter.txt", "Docs/Copy (2 ) of letter.txt",
                    "Docs/Old/memo.txt", "Docs/Old/Copy (1 ) of memo.txt", "Docs/Old/Copy (2 ) of memo.txt"}));
  ExpectRecovered(renamed, docs);
  ExpectRecoveredAt(renamed / "Docs/Copy (1 ) of letter.txt", *docs[0]);
  ExpectRecoveredAt(renamed / "Docs/Old/Copy (2 ) of memo.txt", *docs[1]);

  const fs::path kept = dir / "kept";
  ASSERT_EQ(Recover(kept, "Docs").status, 0);
  const std::string edited(3 * clusterBytes + 17, 'e');  // longer: overwriting must also cut the file
  std::ofstream(kept / "Docs/letter.txt", std::ios::trunc) << edited;

  const CommandResult skip = Recover(kept, "Docs --duplicates skip");
  EXPECT_EQ(skip.status, 0) << skip.output;
  EXPECT_NE(skip.output.find("2 duplicate(s) skipped"), std::string::npos) << skip.output;
  EXPECT_EQ(FilesBelow(kept), Sorted({"Docs/Old/memo.txt", "Docs/letter.txt"}));
  EXPECT_TRUE(ReadHostFile(kept / "Docs/letter.txt") == std::vector<std::uint8_t>(edited.begin(), edited.end()));

  const CommandResult overwrite = Recover(kept, "Docs --duplicates overwrite");
  EXPECT_EQ(overwrite.status, 0) << overwrite.output;
  EXPECT_EQ(FilesBelow(kept), Sorted({"Docs/Old/memo.txt", "Docs/letter.txt"}));
  ExpectRecovered(kept, docs);
}

TEST_P(RecoverTest, TheDeletedModeChoosesLiveOrDeletedFiles) {
  struct Mode {
    const char* option;
    bool live;
    bool deleted;
  };
  for (const Mode mode : {Mode{"include", true, true}, Mode{"only", false, true}, Mode{"exclude", true, false}}) {
    SCOPED_TRACE(mode.option);
    const fs::path out = dir / (std::string("deleted-") + mode.option);
    const CommandResult result = Recover(out, std::string("--all --deleted ") + mode.option);
    EXPECT_EQ(result.status, 0) << result.output;
    const std::vector<const Planted*> files = Recoverable(mode.live, mode.deleted);
    EXPECT_EQ(FilesBelow(out), PathsOf(files));
    ExpectRecovered(out, files);
    const std::size_t refused = Recoverable(true, true).size() - files.size();
    EXPECT_NE(result.output.find(", " + std::to_string(refused) + " by the deleted-file setting"), std::string::npos)
        << result.output;
  }
}

TEST_P(RecoverTest, AFileThatCannotBeCreatedFailsTheRunButNotTheOthers) {
  const fs::path out = dir / "out";
  fs::create_directories(out / "one byte.bin");
  const CommandResult result = Recover(out, "'one byte.bin' 'one cluster.bin' --duplicates overwrite");

  EXPECT_EQ(result.status, 1) << result.output;
  EXPECT_NE(result.output.find("Failed (1):\n  " + (out / "one byte.bin").string() + ": "), std::string::npos)
      << result.output;
  ExpectRecovered(out, {&Find("one cluster.bin")});
  EXPECT_TRUE(fs::is_empty(out / "one byte.bin"));
}

void PrintTo(const VolumeCase& volume, std::ostream* out) { *out << volume.name; }

INSTANTIATE_TEST_SUITE_P(Volumes, RecoverTest,
                         ::testing::Values(VolumeCase{"Fat16FourKiBClusters", FsType::fat16, 8, 65536},
                                           VolumeCase{"Fat32HalfKiBClusters", FsType::fat32, 1, 72000},
                                           // Reserved areas past where a lost boot sector's are looked for first.
                                           VolumeCase{"Fat16WideReserved", FsType::fat16, 8, 65536, 40},
                                           VolumeCase{"Fat32WideReserved", FsType::fat32, 1, 72000, 64}),
                         [](const ::testing::TestParamInfo<VolumeCase>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
}  // namespace salvex::testing
