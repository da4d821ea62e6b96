// An NTFS volume made by mkntfs and filled through an ntfs-3g mount, whose
// folder tree "Trash" is then deleted. The Advance Scan finds the deleted
// folders as the Standard Scan does, so every deleted file keeps its path and
// comes back byte for byte. Once a new file has taken the deleted top folder's
// MFT record, what hung below it is found in "Lost Files", listed and
// recovered by recover --all.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/ntfs_tool_volume.h"
#include "support/recovery_bench.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kStart = 2048;
constexpr std::uint32_t kSectors = 65536;

class NtfsDeletedTree : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTools({"mkntfs", "sfdisk", "dd"})) GTEST_SKIP() << "needs mkntfs, sfdisk and dd (run scripts/setup.sh)";
    volume_ = std::make_unique<NtfsToolVolume>(dir_ / "volume.ntfs", kSectors);
    auto mount = Mount();
    if (!mount) return;
    // "Gone" first: it gets the first MFT record free after mkntfs's own.
    fs::create_directory(mount->Dir() / "Gone");
    fs::create_directories(mount->Dir() / "Trash/Sub");
    fs::create_directory(mount->Dir() / "Keep");
    for (int i = 1; i <= 3; ++i) {
      const std::string n = std::to_string(i);
      Write(*mount, "Keep/k" + n + ".bin", 5000 * i);
      Write(*mount, "Gone/g" + n + ".bin", 4000 * i);
      Write(*mount, "Trash/t" + n + ".bin", 7000 * i);
      Write(*mount, "Trash/Sub/s" + n + ".bin", 3000 * i);
    }
    // Enough names for an index of its own: the deleted folder's record then
    // holds an index allocation after the emptied index root.
    for (int i = 1; i <= 40; ++i) Write(*mount, "Trash/padding " + std::to_string(i) + " with a long name.bin", 1500);
    fs::remove_all(mount->Dir() / "Gone");
    fs::remove_all(mount->Dir() / "Trash");
    ASSERT_TRUE(mount->Close()) << "ntfs-3g did not end cleanly";
    volume_->PlaceInDisk(image_, kStart);
  }

  // Nothing, and the test skipped, where ntfs-3g cannot mount.
  std::unique_ptr<NtfsMount> Mount() {
    std::string why;
    auto mount = NtfsMount::Open(volume_->Path(), dir_ / "mnt", why);
    if (!mount) SkipBecause(why);
    return mount;
  }
  void SkipBecause(const std::string& why) { GTEST_SKIP() << why; }

  void Write(const NtfsMount& mount, const std::string& path, std::size_t size) {
    bytes_[path] = HighBytes(path, size);
    std::ofstream(mount.Dir() / path, std::ios::binary) << bytes_[path];
  }

  // A new small file, which ntfs-3g puts into the lowest free MFT record:
  // the one "Gone" had.
  void ReuseGoneRecord() {
    auto mount = Mount();
    if (!mount) return;
    std::ofstream(mount->Dir() / "new.txt") << "new";
    ASSERT_TRUE(mount->Close());
    volume_->PlaceInDisk(image_, kStart);
  }

  // "folder PATH" or "file PATH SIZE" (" deleted" when so) for every item
  // but NTFS's own.
  std::vector<std::string> Listed(const std::string& command) {
    const SalvexRun run = RunSalvexReading(SALVEX_BINARY, image_, command, dir_.Path());
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::string> lines;
    for (const NtfsListedItem& item : NtfsItemsFromJson(run.out)) {
      const std::string path = item.path ? *item.path : "(unreachable) " + item.name;
      if (IsNtfsMetadataPath(path)) continue;
      lines.push_back((item.folder ? "folder " + path : "file " + path + " " + std::to_string(item.size)) +
                      (item.deleted ? " deleted" : ""));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
  }

  // recover --all of the mounted found file system; each file planted under
  // `from` must be at `to` (the same path unless said) with its bytes.
  void RecoverAll(const std::map<std::string, std::string>& moved) {
    const fs::path out = dir_ / ("out" + std::to_string(++recoveries_));
    const SalvexRun run = RunSalvexReading(
        SALVEX_BINARY, image_, "recover " + Image() + " --fs ntfs --mount 1 --all --out " + ShellQuote(out.string()),
        dir_.Path());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    for (const auto& [path, bytes] : bytes_) {
      const auto renamed = moved.find(path);
      const std::string at = renamed == moved.end() ? path : renamed->second;
      EXPECT_TRUE(ReadWholeFile(out / at) == bytes) << at << " came back with other bytes";
    }
  }

  std::string Image() const { return ShellQuote(image_.string()); }

  TempDir dir_;
  fs::path image_ = dir_ / "disk.img";
  std::unique_ptr<NtfsToolVolume> volume_;
  std::map<std::string, std::string> bytes_;
  int recoveries_ = 0;
};

TEST_F(NtfsDeletedTree, TheAdvanceScanReachesDeletedFoldersAsTheStandardScanDoes) {
  const std::vector<std::string> standard = Listed("scan " + Image() + " --partition 1 --json");
  const std::vector<std::string> deep = Listed("deep-scan " + Image() + " --fs ntfs --mount 1 --json");

  EXPECT_EQ(LineDifference(deep, standard), "");
  EXPECT_EQ(std::count(deep.begin(), deep.end(), "file Trash/Sub/s3.bin 9000 deleted"), 1);
  RecoverAll({});
}

TEST_F(NtfsDeletedTree, WhatLostItsFolderRecordIsInLostFiles) {
  ReuseGoneRecord();
  if (IsSkipped()) return;

  const std::vector<std::string> deep = Listed("deep-scan " + Image() + " --fs ntfs --mount 1 --json");

  std::vector<std::string> expected = {"folder Keep", "file new.txt 3", "folder Trash deleted",
                                       "folder Trash/Sub deleted"};
  std::map<std::string, std::string> moved;
  for (int i = 1; i <= 3; ++i) {
    const std::string n = std::to_string(i);
    expected.push_back("file Keep/k" + n + ".bin " + std::to_string(5000 * i));
    expected.push_back("file Lost Files/g" + n + ".bin " + std::to_string(4000 * i) + " deleted");
    expected.push_back("file Trash/t" + n + ".bin " + std::to_string(7000 * i) + " deleted");
    expected.push_back("file Trash/Sub/s" + n + ".bin " + std::to_string(3000 * i) + " deleted");
    moved["Gone/g" + n + ".bin"] = "Lost Files/g" + n + ".bin";
  }
  for (int i = 1; i <= 40; ++i) {
    expected.push_back("file Trash/padding " + std::to_string(i) + " with a long name.bin 1500 deleted");
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(LineDifference(deep, expected), "");
  bytes_["new.txt"] = "new";
  RecoverAll(moved);
}

}  // namespace
}  // namespace salvex::testing
