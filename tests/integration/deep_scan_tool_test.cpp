// The Advance Scan and the quick partition search through salvex, on images
// made by sfdisk, mkfs.fat, mtools, mkntfs and ntfs-3g and then damaged: a
// wiped partition table, a re-formatted FAT32 volume, a FAT16 volume whose
// first megabytes are gone, an NTFS volume without boot sectors. Each time
// the old folders are found and mounted and the files come back byte for
// byte, and no command changes the image.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>
#include <utility>

#include "common/sector.h"
#include "support/json_value.h"
#include "support/ntfs_tool_volume.h"
#include "support/recovery_bench.h"
#include "support/recovery_tool_disk.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

struct Planted {
  std::string path;
  std::string bytes;
  bool deleted = false;
};

std::string ReadBytes(const fs::path& path, std::uint64_t offset, std::size_t size) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::string bytes(size, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  if (!in) throw ToolFailure("cannot read " + path.string());
  return bytes;
}

void Zero(const fs::path& image, std::uint64_t firstSector, std::uint64_t sectors) {
  std::fstream file(image, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(static_cast<std::streamoff>(firstSector * kSectorSize));
  const std::string zeros(sectors * kSectorSize, '\0');
  file.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
  if (!file) throw ToolFailure("cannot write into " + image.string());
}

std::uint32_t Le(const std::string& bytes, std::size_t at, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value |= std::uint32_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
  return value;
}

// The first cluster of a run list from mshowfat, "<5-7>" -> 5.
std::uint32_t FirstClusterOf(const std::vector<std::string>& runs) {
  if (runs.empty()) throw ToolFailure("no clusters");
  return static_cast<std::uint32_t>(std::stoul(runs.front().substr(1)));
}

std::string Dir(std::uint32_t cluster) { return "Dir" + std::to_string(cluster); }

std::vector<std::string> Described(const std::vector<std::string>& folders, const std::vector<Planted>& files) {
  std::vector<std::string> lines;
  for (const std::string& folder : folders) lines.push_back("folder " + folder);
  for (const Planted& file : files) {
    lines.push_back("file " + file.path + " " + std::to_string(file.bytes.size()) + (file.deleted ? " deleted" : ""));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

class DeepScanToolTest : public ::testing::Test {
 protected:
  // Runs salvex; the image must come out of it unchanged.
  SalvexRun Salvex(const std::string& arguments) { return RunSalvexReading(SALVEX_BINARY, image, arguments, dir.Path()); }

  std::string Image() const { return ShellQuote(image.string()); }

  // `deep-scan --json` for the options: the found file systems.
  JsonValue FoundFileSystems(const std::string& options) {
    const SalvexRun run = Salvex("deep-scan " + Image() + " " + options + " --json");
    EXPECT_EQ(run.status, 0) << run.err;
    return ParseJson(run.out);
  }

  // Recovers everything of found file system `ordinal` into `out`; every
  // planted file must come back byte for byte, and nothing else but what
  // `ignore` says may be there.
  template <typename Ignore>
  void RecoverAndCompare(const std::string& options, std::uint64_t ordinal, const std::vector<std::string>& folders,
                         const std::vector<Planted>& files, Ignore ignore) {
    const fs::path out = dir / ("out" + std::to_string(++recoveries));
    const SalvexRun run = Salvex("recover " + Image() + " " + options + " --mount " + std::to_string(ordinal) +
                                 " --all --out " + ShellQuote(out.string()));
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    std::vector<std::string> expected;
    for (const std::string& folder : folders) expected.push_back(folder + "/");
    for (const Planted& file : files) {
      expected.push_back(file.path);
      EXPECT_TRUE(ReadWholeFile(out / file.path) == file.bytes) << file.path << " came back with other bytes";
    }
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> tree = TreeBelow(out);
    std::erase_if(tree, ignore);
    EXPECT_EQ(LineDifference(tree, expected), "");
  }

  TempDir dir;
  fs::path image = dir / "disk.img";
  int recoveries = 0;
};

// --- Lost partition tables ------------------------------------------------------

TEST_F(DeepScanToolTest, SearchPartitionsFindsVolumesWhereCylindersAndMebibytesBegin) {
  SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat");
  // 63 is one track into cylinder 0; 5 x 16065 + 63 one track into
  // cylinder 5; 153600 is neither a cylinder's start nor one track after it,
  // but a 1 MiB boundary (75 x 2048).
  DiskPlan plan;
  plan.totalSectors = 153600 + 8192;
  plan.partitions = {{VolumeKind::fat16, false, 63, 66000, 0x06, 0, ""},
                     {VolumeKind::fat32, false, 5 * 16065 + 63, 69632, 0x0C, 1, ""},
                     {VolumeKind::fat16, false, 153600, 8192, 0x06, 1, ""}};
  BuildDisk(image, plan);
  ASSERT_EQ(ParseJson(Salvex("partitions " + Image() + " --json").out).items.size(), 3u);
  // A found partition is as long as its boot sector says, which mkfs.fat
  // may make a little shorter than the partition.
  std::vector<std::uint32_t> counts;
  for (std::size_t i = 0; i < 3; ++i) {
    const std::string boot = ReadBytes(image, std::uint64_t{plan.partitions[i].startSector} * kSectorSize, kSectorSize);
    // A volume under 65536 sectors keeps its count in the 16-bit field.
    counts.push_back(Le(boot, 32, 4) != 0 ? Le(boot, 32, 4) : Le(boot, 19, 2));
  }
  Zero(image, 0, 1);

  const SalvexRun run = Salvex("search-partitions " + Image() + " --json");

  EXPECT_EQ(run.status, 0) << run.err;
  const JsonValue found = ParseJson(run.out);
  ASSERT_EQ(found.items.size(), 3u) << run.out;
  const char* const types[] = {"FAT16", "FAT32", "FAT16"};
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const JsonValue& record = found.items[i];
    EXPECT_EQ(record.At("index").Num(), i + 1);
    EXPECT_EQ(record.At("startSector").Num(), plan.partitions[i].startSector);
    EXPECT_EQ(record.At("sectorCount").Num(), counts[i]);
    EXPECT_EQ(record.At("fsType").Str(), types[i]);
    EXPECT_EQ(record.At("caption").Str(), "Partition " + std::to_string(i + 1) + " - " + types[i]);
  }
}

// --- A re-formatted FAT32 volume ------------------------------------------------

TEST_F(DeepScanToolTest, AReformattedFat32VolumeGivesBackItsOldFolders) {
  SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mmd", "mshowfat");
  constexpr std::uint32_t kSectors = 72000;
  RecoveryToolDisk disk(image, FsType::fat32, 1, kSectors);
  disk.MakeFolders({"Docs", "Docs/Reports", "Docs/Reports/2024", "Music"});
  std::vector<Planted> files;
  const auto copy = [&](const std::string& folder, const std::string& name, std::size_t size) {
    const std::string path = folder.empty() ? name : folder + "/" + name;
    files.push_back({path, HighBytes(path, size)});
    disk.CopyFiles(folder, {{name, files.back().bytes, 946728000}});
    ASSERT_EQ(disk.ClusterRuns(path).size(), 1u) << path << " was meant to be contiguous";
  };
  copy("Docs", "letter.txt", 1500);
  copy("Docs/Reports", "summary.txt", 5000);
  copy("Docs/Reports/2024", "q1.bin", 70'000);
  copy("Music", "song.bin", 30'000);
  copy("", "top.bin", 4000);  // its entry lives in the root, which the new format empties
  const std::uint32_t docs = FirstClusterOf(disk.ClusterRuns("Docs"));
  const std::uint32_t music = FirstClusterOf(disk.ClusterRuns("Music"));
  RunChecked("mkfs.fat -F 32 -s 1 -i 5a1e0b22 --offset 2048 " + Image() + " " + std::to_string(kSectors / 2));
  // The new boot sector, like the old, puts cluster 0 at its start +
  // reserved sectors + both FATs - 2 clusters.
  const std::string boot = ReadBytes(image, 2048 * kSectorSize, kSectorSize);
  const std::uint32_t clusterBase = 2048 + Le(boot, 14, 2) + 2 * Le(boot, 36, 4) - 2 * Le(boot, 13, 1);

  const JsonValue found = FoundFileSystems("--fs fat32 --partition 1");

  ASSERT_EQ(found.items.size(), 1u);
  EXPECT_EQ(found.items[0].At("fsType").Str(), "FAT32");
  EXPECT_EQ(found.items[0].At("clusterBase").Num(), clusterBase);
  EXPECT_EQ(found.items[0].At("sectorsPerCluster").Num(), 1u);
  EXPECT_EQ(found.items[0].At("claimed").Num(), 4u) << "one hit per old folder";

  // The old root is gone: its folders are named after their clusters, the
  // others by the folders that hold them.
  const std::string docsName = Dir(docs);
  const std::string musicName = Dir(music);
  std::vector<Planted> kept;
  for (Planted file : files) {
    if (file.path == "top.bin") continue;
    if (file.path.starts_with("Docs/")) file.path = docsName + file.path.substr(4);
    if (file.path.starts_with("Music/")) file.path = musicName + file.path.substr(5);
    kept.push_back(file);
  }
  const std::vector<std::string> folders = {docsName, docsName + "/Reports", docsName + "/Reports/2024", musicName};
  const SalvexRun mounted = Salvex("deep-scan " + Image() + " --fs fat32 --partition 1 --mount 1 --json");
  EXPECT_EQ(mounted.status, 0) << mounted.err;
  EXPECT_EQ(LineDifference(ListingLines(ItemsFromScanJson(mounted.out)), Described(folders, kept)), "");

  RecoverAndCompare("--fs fat32 --partition 1", 1, folders, kept, [](const std::string&) { return false; });
}

// --- A FAT16 volume without its first megabytes ---------------------------------

TEST_F(DeepScanToolTest, AFat16VolumeWithoutBootSectorFatsAndRootIsRebuiltFromFolderPairs) {
  SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mmd", "mshowfat");
  constexpr std::uint32_t kStart = RecoveryToolDisk::kPartitionStart;
  constexpr std::uint32_t kSectors = 40960;
  RecoveryToolDisk disk(image, FsType::fat16, 4, kSectors);
  // 3 MiB of filler first, so that every folder lies past what is wiped.
  disk.CopyFiles("", {{"filler.bin", HighBytes("filler", 3 << 20), 946728000}});
  disk.MakeFolders({"Top1", "Top1/Sub1", "Top1/Sub2", "Top2"});
  std::vector<Planted> files;
  const auto copy = [&](const std::string& folder, const std::string& name, std::size_t size) {
    const std::string path = folder + "/" + name;
    files.push_back({path, HighBytes(path, size)});
    disk.CopyFiles(folder, {{name, files.back().bytes, 946728000}});
    ASSERT_EQ(disk.ClusterRuns(path).size(), 1u) << path << " was meant to be contiguous";
  };
  copy("Top1", "d.txt", 700);
  copy("Top1/Sub1", "a.bin", 10'000);
  copy("Top1/Sub2", "b.bin", 5000);
  copy("Top2", "c.bin", 20'000);
  const std::uint32_t top1 = FirstClusterOf(disk.ClusterRuns("Top1"));
  const std::uint32_t top2 = FirstClusterOf(disk.ClusterRuns("Top2"));
  // FAT16: cluster 0 lies 2 clusters before the end of the fixed root.
  const std::string boot = ReadBytes(image, kStart * kSectorSize, kSectorSize);
  const std::uint32_t clusterBase =
      kStart + Le(boot, 14, 2) + 2 * Le(boot, 22, 2) + Le(boot, 17, 2) / 16 - 2 * 4;
  ASSERT_GT(clusterBase + 4 * top1, kStart + 6144u) << "a folder would be wiped";
  Zero(image, kStart, 6144);
  const std::string range = "--start " + std::to_string(kStart) + " --end " + std::to_string(kStart + kSectors);

  const JsonValue found = FoundFileSystems("--fs fat16 " + range);

  ASSERT_EQ(found.items.size(), 1u);
  EXPECT_EQ(found.items[0].At("fsType").Str(), "FAT16");
  EXPECT_EQ(found.items[0].At("clusterBase").Num(), clusterBase);
  EXPECT_EQ(found.items[0].At("sectorsPerCluster").Num(), 4u);
  EXPECT_EQ(found.items[0].At("volumeEnd").Num(), 0u) << "no boot sector tells the size";
  EXPECT_EQ(found.items[0].At("fat1Start").Num(), 0u);
  EXPECT_EQ(found.items[0].At("claimed").Num(), 4u);

  std::vector<Planted> kept;
  for (Planted file : files) {
    if (file.path.starts_with("Top1/")) file.path = Dir(top1) + file.path.substr(4);
    if (file.path.starts_with("Top2/")) file.path = Dir(top2) + file.path.substr(4);
    kept.push_back(file);
  }
  const std::vector<std::string> folders = {Dir(top1), Dir(top1) + "/Sub1", Dir(top1) + "/Sub2", Dir(top2)};
  const SalvexRun mounted = Salvex("deep-scan " + Image() + " --fs fat16 " + range + " --mount 1 --json");
  EXPECT_EQ(mounted.status, 0) << mounted.err;
  EXPECT_EQ(LineDifference(ListingLines(ItemsFromScanJson(mounted.out)), Described(folders, kept)), "");

  RecoverAndCompare("--fs fat16 " + range, 1, folders, kept, [](const std::string&) { return false; });
}

// --- An NTFS volume without boot sectors ---------------------------------------

TEST_F(DeepScanToolTest, AnNtfsVolumeWithoutBootSectorsIsFoundFromFolderRecordsAndIndexBlocks) {
  SALVEX_REQUIRE_TOOLS("mkntfs", "ntfsinfo", "sfdisk", "dd");
  constexpr std::uint32_t kSectors = 65536;
  constexpr std::uint32_t kStart = 2048;
  NtfsToolVolume volume(dir / "volume.ntfs", kSectors);
  std::string why;
  std::unique_ptr<NtfsMount> mount = NtfsMount::Open(volume.Path(), dir / "mnt", why);
  if (!mount) GTEST_SKIP() << why;
  const fs::path root = mount->Dir();
  // Folders of 60 and more entries keep their index in index blocks, which
  // place them on the disk.
  const std::vector<std::string> folders = {"Many", "Lots", "Docs", "Docs/Old"};
  for (const std::string& folder : folders) fs::create_directory(root / folder);
  std::vector<Planted> files;
  const auto write = [&](const std::string& path, std::size_t size) {
    files.push_back({path, HighBytes(path, size)});
    std::ofstream(root / path, std::ios::binary) << files.back().bytes;
  };
  for (int i = 1; i <= 70; ++i) write("Many/m" + std::to_string(i) + ".bin", 97 * static_cast<std::size_t>(i));
  for (int i = 1; i <= 65; ++i) write("Lots/l" + std::to_string(i) + ".txt", 1000 + static_cast<std::size_t>(i));
  write("Docs/letter.txt", 5000);
  write("Docs/Old/memo.txt", 300);
  write("big.bin", 300'000);
  write("gone.bin", 20'000);
  fs::remove(root / "gone.bin");
  ASSERT_TRUE(mount->Close()) << "ntfs-3g did not end cleanly";
  ASSERT_TRUE(volume.HasIndexAllocation("Many"));
  ASSERT_TRUE(volume.HasIndexAllocation("Lots"));
  if (volume.RecordFlagsOf(u"gone.bin") == std::uint8_t{0}) {
    files.back().deleted = true;
  } else {
    files.pop_back();
  }
  volume.PlaceInDisk(image, kStart);
  // The boot sector and its copy in the volume's last sector.
  Zero(image, kStart, 1);
  Zero(image, kStart + kSectors - 1, 1);

  const JsonValue found = FoundFileSystems("--fs ntfs");

  ASSERT_EQ(found.items.size(), 1u);
  EXPECT_EQ(found.items[0].At("fsType").Str(), "NTFS");
  EXPECT_EQ(found.items[0].At("clusterBase").Num(), kStart);
  EXPECT_EQ(found.items[0].At("sectorsPerCluster").Num(), 8u);
  // Every folder record: the planted folders, the root's own and $Extend.
  EXPECT_EQ(found.items[0].At("claimed").Num(), folders.size() + 2);

  const SalvexRun mounted = Salvex("deep-scan " + Image() + " --fs ntfs --mount 1 --json");
  EXPECT_EQ(mounted.status, 0) << mounted.err;
  std::vector<std::string> listed;
  for (const NtfsListedItem& item : NtfsItemsFromJson(mounted.out)) {
    const std::string path = item.path ? *item.path : "(unreachable) " + item.name;
    if (IsNtfsMetadataPath(path)) continue;
    listed.push_back((item.folder ? "folder " + path : "file " + path + " " + std::to_string(item.size)) +
                     (item.deleted ? " deleted" : ""));
  }
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(LineDifference(listed, Described(folders, files)), "");

  // The MFT's first records are read twice, from the MFT and from its
  // mirror: NTFS's own files come back with copies beside them.
  RecoverAndCompare("--fs ntfs", 1, folders, files, [](const std::string& path) {
    return IsNtfsMetadataPath(path) || path.starts_with("Copy (1 ) of $");
  });
}

// The range's end is the first sector past it: a boot sector at 2048 is in
// [2000, 2049) and not in [2000, 2048), however the chunks fall.
TEST(DeepScanRange, ReportsOnlyTheSectorsBeforeItsEnd) {
  SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat");
  TempDir dir;
  const fs::path image = dir / "disk.img";
  DiskPlan plan;
  plan.totalSectors = 2048 + 69632;
  plan.partitions = {{VolumeKind::fat32, false, 2048, 69632, 0x0C, 1, ""}};
  BuildDisk(image, plan);
  for (const auto& [end, found] : {std::pair{2010, "0 boot sector(s)"}, std::pair{2048, "0 boot sector(s)"},
                                   std::pair{2049, "1 boot sector(s)"}}) {
    SCOPED_TRACE(end);
    const SalvexRun run = RunSalvexReading(SALVEX_BINARY, image,
                                           "deep-scan " + ShellQuote(image.string()) +
                                               " --fs fat32 --start 2000 --end " + std::to_string(end),
                                           dir.Path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind(found, 0), 0u) << run.out;
  }
}

}  // namespace
}  // namespace salvex::testing
