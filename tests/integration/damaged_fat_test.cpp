// salvex on FAT volumes made by mkfs.fat and mtools, then damaged the ways
// real disks and other drivers leave them: end marks below the top value,
// links out of the volume, folders of hundreds of clusters, entries with odd
// stamps, impossible boot sectors, two files of one name, hostile snapshots.
// Every recovered byte is compared.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/json_value.h"
#include "support/recovery_tool_disk.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kStart = RecoveryToolDisk::kPartitionStart;
constexpr std::uint32_t kSectors = 16384;
constexpr std::int64_t kNoon2019 = 1559476800;  // 2019-06-02 12:00:00 UTC

std::uint32_t Le(const std::string& bytes, std::size_t at, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value |= std::uint32_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
  return value;
}

std::string Le16(std::uint32_t value) { return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)}; }

// "<5-7>" -> {5, 7}.
std::pair<std::uint32_t, std::uint32_t> ClusterRun(const std::string& run) {
  const std::size_t dash = run.find('-');
  return {static_cast<std::uint32_t>(std::stoul(run.substr(1))),
          static_cast<std::uint32_t>(std::stoul(run.substr(dash == std::string::npos ? 1 : dash + 1)))};
}

class DamagedFat : public ::testing::Test {
 protected:
  void SetUp() override { SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mmd", "mdel", "mshowfat"); }

  RecoveryToolDisk& Disk(std::uint32_t sectorsPerCluster = 1) {
    disk_ = std::make_unique<RecoveryToolDisk>(image, FsType::fat16, sectorsPerCluster, kSectors);
    return *disk_;
  }

  // Plants files in `folder` and remembers their bytes under their paths.
  void Plant(const std::string& folder, const std::vector<std::pair<std::string, std::size_t>>& files,
             std::int64_t modified = kNoon2019) {
    std::vector<HostFile> host;
    for (const auto& [name, size] : files) {
      const std::string path = folder.empty() ? name : folder + "/" + name;
      planted[path] = PatternBytes(path, size);
      host.push_back({name, planted[path], modified});
    }
    disk_->CopyFiles(folder, host);
  }

  // Sets FAT16 entry `cluster` to `value` in both FATs.
  void SetFatEntry(std::uint32_t cluster, std::uint32_t value) {
    const std::string boot = ReadWholeFile(image).substr(std::size_t{kStart} * kSectorSize, kSectorSize);
    const std::uint64_t fat1 = kStart + Le(boot, 0x0E, 2);
    const std::uint64_t sectorsPerFat = Le(boot, 0x16, 2);
    for (const std::uint64_t fat : {fat1, fat1 + sectorsPerFat}) PatchImage(image, fat * kSectorSize + cluster * 2, Le16(value));
  }

  int Patch(const std::string& name11, std::size_t offset, const std::string& bytes) {
    return PatchEntry(image, kStart, kSectors, name11, offset, bytes);
  }

  SalvexRun Salvex(const std::string& arguments) {
    return RunSalvexReading(SALVEX_BINARY, image, arguments, dir.Path());
  }

  SalvexRun RecoverAll(const std::string& options = "") {
    fs::remove_all(out);
    return Salvex("recover " + ShellQuote(image.string()) + " --all " + options + " --out " + ShellQuote(out.string()));
  }

  // Every regular file below `out`, by its path from there.
  std::map<std::string, std::string> Recovered() const {
    std::map<std::string, std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
      if (entry.is_regular_file()) found[fs::relative(entry.path(), out).string()] = ReadWholeFile(entry.path());
    }
    return found;
  }

  TempDir dir;
  fs::path image = dir / "disk.img";
  fs::path out = dir / "out";
  std::map<std::string, std::string> planted;
  std::unique_ptr<RecoveryToolDisk> disk_;
};

TEST_F(DamagedFat, EveryEndMarkEndsAChainAndALinkOutOfTheVolumeIsReported) {
  Disk();
  // Written in turns: c.bin fills the hole a.bin left, then goes on after b.bin.
  Plant("", {{"a.bin", 1000}, {"b.bin", 1000}});
  disk_->Delete({"a.bin"});
  planted.erase("a.bin");
  Plant("", {{"c.bin", 3000}});
  const std::vector<std::string> runs = disk_->ClusterRuns("c.bin");
  ASSERT_EQ(runs.size(), 2u) << "c.bin was meant to be fragmented";

  // fsck.fat takes 0xFFF8 for an end mark as readily as 0xFFFF.
  SetFatEntry(ClusterRun(runs.back()).second, 0xFFF8);
  SalvexRun run = RecoverAll();
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(Recovered(), planted);

  // A link to a cluster past the volume's last ends the chain, and is named.
  SetFatEntry(ClusterRun(runs.front()).second, 0xFF00);
  run = RecoverAll();
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("c.bin: its cluster chain leaves the volume after cluster " +
                         std::to_string(ClusterRun(runs.front()).second) + " (the FAT holds 0xFF00)"),
            std::string::npos)
      << run.out;
}

TEST_F(DamagedFat, AFolderOfHundredsOfClustersIsListedAndRecoveredWhole) {
  Disk();
  disk_->MakeFolders({"Many"});
  std::vector<std::pair<std::string, std::size_t>> files;
  // Five entries each (four long-name parts): 2250 entries, 141 clusters of 512 bytes.
  for (int i = 0; i < 450; ++i) files.push_back({"a file with a rather long name number " + std::to_string(i) + ".txt", 1});
  Plant("Many", files);

  const SalvexRun scan = Salvex("scan " + ShellQuote(image.string()) + " --json");
  ASSERT_EQ(scan.status, 0) << scan.err;
  std::size_t listed = 0;
  for (const ListedItem& item : ItemsFromScanJson(scan.out)) listed += item.path && item.path->starts_with("Many/");
  EXPECT_EQ(listed, 450u);
  const SalvexRun run = RecoverAll();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Recovered(), planted);
}

TEST_F(DamagedFat, OverwriteReplacesWhatWasThereBeforeButNeverAFileOfTheSameRun) {
  Disk();
  Plant("", {{"Report.txt", 3000}, {"Rxport.txt", 500}});
  const std::string old = planted["Report.txt"];
  const std::string live = planted["Rxport.txt"];
  disk_->Delete({"Report.txt"});
  // The live file's long name becomes the deleted one's (its checksum is of
  // the short name): two entries, one name, as Windows leaves a folder
  // where a file was deleted and another saved under its name.
  const std::string bytes = ReadWholeFile(image);
  const std::size_t unit = bytes.find(std::string("R\0x\0p\0", 6), std::size_t{kStart} * kSectorSize);
  ASSERT_NE(unit, std::string::npos);
  PatchImage(image, unit + 2, "e");
  fs::create_directories(out);
  std::ofstream(out / "Report.txt") << "from before the run";

  const SalvexRun run =
      Salvex("recover " + ShellQuote(image.string()) + " --all --duplicates overwrite --out " + ShellQuote(out.string()));

  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Recovered 2 file(s)"), std::string::npos) << run.out;
  // The deleted one comes first in the folder, and replaces the old file.
  EXPECT_EQ(Recovered(), (std::map<std::string, std::string>{{"Report.txt", old}, {"Copy (1 ) of Report.txt", live}}));
}

TEST_F(DamagedFat, EntriesWithOddStampsOrBitsAreListedAndRecovered) {
  Disk();
  const struct {
    const char* name;
    const char* name11;
    std::size_t offset;
    std::string bytes;
  } oddities[] = {
      {"hundredths.txt", "HUNDRE~1TXT", 13, "\xC8"},             // 200 centiseconds
      {"month13.txt", "MONTH13 TXT", 24, Le16((39 << 9) | (13 << 5) | 5)},
      {"hour25.txt", "HOUR25  TXT", 22, Le16(25 << 11)},
      {"day0.txt", "DAY0    TXT", 18, Le16((39 << 9) | (6 << 5))},
      {"case01.txt", "CASE01  TXT", 12, "\x19"},            // bit 0x01 beside the lower-case flags
      {"attr40.txt", "ATTR40  TXT", 11, "\x60"},
      {"attr80.txt", "ATTR80  TXT", 11, "\xA0"},
  };
  std::vector<std::pair<std::string, std::size_t>> files{{"empty.txt", 0}};
  for (const auto& odd : oddities) files.push_back({odd.name, 700});
  Plant("", files);
  for (const auto& odd : oddities) ASSERT_EQ(Patch(odd.name11, odd.offset, odd.bytes), 1) << odd.name;

  const SalvexRun scan = Salvex("scan " + ShellQuote(image.string()) + " --json");
  ASSERT_EQ(scan.status, 0) << scan.err;
  std::map<std::string, std::string> created;
  for (const ListedItem& item : ItemsFromScanJson(scan.out)) created[item.name] = item.created;
  EXPECT_EQ(created.size(), files.size()) << scan.out;
  EXPECT_EQ(created["month13.txt"], "Unknown");
  const SalvexRun run = RecoverAll();
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(Recovered(), planted);
}

TEST_F(DamagedFat, ABootSectorNoVolumeCanHaveIsReadAsALostOne) {
  const struct {
    const char* what;
    std::size_t offset;
    std::string bytes;
  } damages[] = {
      {"3 sectors per cluster", 0x0D, "\x03"},
      {"no sectors per FAT", 0x16, std::string(2, '\0')},
      {"a root of no entries", 0x11, std::string(2, '\0')},
  };
  for (const auto& damage : damages) {
    SCOPED_TRACE(damage.what);
    planted.clear();
    Disk(2);
    disk_->MakeFolders({"Docs", "Docs/Old", "Music"});
    Plant("Docs", {{"letter.txt", 5000}});
    Plant("Docs/Old", {{"memo.txt", 3000}});
    Plant("Music", {{"song.bin", 20000}});
    Plant("", {{"readme.txt", 700}});
    PatchImage(image, std::uint64_t{kStart} * kSectorSize + damage.offset, damage.bytes);

    const SalvexRun run = RecoverAll();

    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(Recovered(), planted);
  }
}

TEST_F(DamagedFat, RecoveredFilesKeepTheirEntrysWriteTime) {
  Disk();
  constexpr std::int64_t kWritten = kNoon2019 + 2 * 3600 + 35 * 60 + 42;  // 14:35:42 UTC
  Plant("", {{"stamped.txt", 100}}, kWritten);
  ASSERT_EQ(RecoverAll().status, 0);
  struct stat info {};
  ASSERT_EQ(::stat((out / "stamped.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mtime, kWritten);
}

TEST_F(DamagedFat, SnapshotsAreJudgedByTheirHeadAndTheirBytesAreNeverPrintedRaw) {
  Disk();
  Plant("", {{"readme.txt", 700}});
  const fs::path saved = dir / "SAVED.RSNP";
  ASSERT_EQ(Salvex("scan " + ShellQuote(image.string()) + " --save-snapshot " + ShellQuote(saved.string())).status, 0);
  const std::string good = ReadWholeFile(saved);
  const struct {
    const char* what;
    std::string bytes;   // empty: a sparse file of 1 GiB of zeros
    std::string message;
  } snapshots[] = {
      {"a gigabyte of zeros", "", "Invalid version of the file found : \\x00\\x00\\x00\\x00\\x00\\x00\\x00"},
      {"controls in the magic", "rs\n\x1b[2J" + good.substr(7), "Invalid version of the file found : rs\\x0a\\x1b[2J"},
      {"a file system no scan makes", good.substr(0, 26) + Le16(500) + good.substr(28),
       "it names a file system of type 500, which no scan makes"},
  };
  for (const auto& snapshot : snapshots) {
    SCOPED_TRACE(snapshot.what);
    const fs::path file = dir / "BAD.RSNP";
    fs::remove(file);
    if (snapshot.bytes.empty()) {
      std::ofstream{file};
      fs::resize_file(file, std::uint64_t{1} << 30);
    } else {
      std::ofstream(file, std::ios::binary) << snapshot.bytes;
    }
    const SalvexRun run = Salvex("scan " + ShellQuote(image.string()) + " --snapshot " + ShellQuote(file.string()));
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find(snapshot.message), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << "no raw control reaches the terminal";
  }
}

TEST_F(DamagedFat, TheFailureListShowsDiskNamesEscaped) {
  Disk();
  Plant("", {{"aXb.txt", 300}});
  // The long name's second unit, 'X', becomes ESC: the checksum is of the
  // short name, so the set still belongs to its entry.
  const std::string bytes = ReadWholeFile(image);
  const std::size_t unit = bytes.find(std::string("a\0X\0b\0", 6), std::size_t{kStart} * kSectorSize);
  ASSERT_NE(unit, std::string::npos);
  PatchImage(image, unit + 2, "\x1b");
  fs::create_directories(out / "a%1Bb.txt");  // its host name: nothing can be created there

  const SalvexRun run = Salvex("recover " + ShellQuote(image.string()) + " --all --duplicates overwrite --out " +
                               ShellQuote(out.string()));

  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("a%1Bb.txt"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << run.out;

  // With the way clear, the file is written under its escaped name, and the
  // summary says which names were escaped.
  fs::remove(out / "a%1Bb.txt");
  const SalvexRun again = Salvex("recover " + ShellQuote(image.string()) + " --all --out " + ShellQuote(out.string()));
  EXPECT_EQ(again.status, 0) << again.out;
  EXPECT_TRUE(fs::is_regular_file(out / "a%1Bb.txt"));
  EXPECT_NE(again.out.find("Named with %XX for control or text-direction characters (1):"), std::string::npos)
      << again.out;
}

}  // namespace
}  // namespace salvex::testing
