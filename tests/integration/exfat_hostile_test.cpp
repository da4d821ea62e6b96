// exFAT volumes made by mkfs.exfat and the test's own writer, then given
// damage no tool makes: a chain that links out of the heap, folders over
// one another's clusters, a boot region claiming a volume far larger than
// the disk, entry sets whose entries disagree. salvex stays within the
// volume, reads each directory cluster once, lists every live file and
// says what it guessed.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "imaging/map_text.h"
#include "support/exfat_entry_sets.h"
#include "support/exfat_test_volume.h"
#include "support/json_value.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kSector = 512;

std::vector<std::uint8_t> AsVector(const std::string& bytes) { return {bytes.begin(), bytes.end()}; }

std::string ReadAt(const fs::path& image, std::uint64_t offset, std::size_t size) {
  std::string bytes(size, '\0');
  std::ifstream in(image, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  return bytes;
}

std::string Le(std::uint64_t value, int bytes) {
  std::string text;
  for (int i = 0; i < bytes; ++i) text.push_back(static_cast<char>(value >> (8 * i)));
  return text;
}

SalvexRun Scan(const TempDir& dir, const fs::path& disk, const std::string& more = "") {
  return RunSalvexReading(SALVEX_BINARY, disk, "scan " + ShellQuote(disk.string()) + more + " --json", dir.Path());
}

// A live file whose chain links past the heap's last cluster, into the
// partition after the volume: the link ends its chain, the recovery says
// its chain is damaged, and not one byte comes from the next partition.
TEST(ExfatHostile, AChainLinkPastTheHeapEndsTheChain) {
  SALVEX_REQUIRE_TOOLS("mkfs.exfat", "sfdisk");
  TempDir dir;
  const fs::path disk = dir / "two-partitions.img";
  constexpr std::uint64_t kStart = 2048 * kSector;
  constexpr std::uint64_t kVolume = 48ull << 20;
  constexpr std::uint64_t kNext = 4ull << 20;
  const std::string file = HighBytes("linked", 2 * 4096 - 10);
  {
    ExfatTestVolume volume = ExfatTestVolume::Create(disk, kStart + kVolume, 4096, "", kStart);
    ExfatFileOptions chained;
    chained.layout = ExfatLayout::chained;
    volume.AddFile("/linked.bin", AsVector(file), chained);
    // The FAT has entries past the heap's last cluster (its length is
    // rounded up): the link names the first cluster after the volume, and
    // the chain ends there, just as long as the file's size needs.
    volume.SetFatEntry(volume.FirstCluster("/linked.bin"), volume.ClusterCount() + 2);
    volume.SetFatEntry(volume.ClusterCount() + 2, 0xFFFFFFFF);
  }
  const std::string next = PatternBytes("NEXT PARTITION", kNext);
  PatchImage(disk, kStart + kVolume, next);
  RunChecked("printf '2048,98304,7\\n100352,8192,83\\n' | sfdisk --no-reread --wipe never --wipe-partitions never -q " +
             ShellQuote(disk.string()));

  const fs::path out = dir / "out";
  const SalvexRun recover = RunSalvexReading(
      SALVEX_BINARY, disk, "recover " + ShellQuote(disk.string()) + " --partition 1 --all --out " + ShellQuote(out.string()),
      dir.Path());
  EXPECT_EQ(recover.status, 1) << "a damaged chain is a guess";
  EXPECT_NE(recover.out.find("Written from a damaged cluster chain"), std::string::npos) << recover.out;
  const std::string recovered = ReadWholeFile(out / "linked.bin");
  ASSERT_EQ(recovered.size(), file.size());
  EXPECT_EQ(recovered.find(next.substr(0, 64)), std::string::npos) << "bytes of the next partition were read";
  EXPECT_TRUE(recovered == file) << "its clusters lie in one run from its first";
}

// Nine folders whose entries say their directories begin at successive
// clusters of one folder's directory: each cluster's entries are listed
// once, under the folder read first, not once per folder that claims it.
TEST(ExfatHostile, CrossLinkedFoldersListEachEntryOnce) {
  SALVEX_REQUIRE_TOOLS("mkfs.exfat");
  TempDir dir;
  const fs::path disk = dir / "cross-linked.img";
  constexpr int kFiles = 50;  // three entries each: ten clusters of 16 entries
  {
    ExfatTestVolume volume = ExfatTestVolume::Create(disk, 8ull << 20, 512);
    volume.AddFolder("/Run");
    for (int i = 0; i < kFiles; ++i) volume.AddFile("/Run/f" + std::to_string(i) + ".txt", {});
    const std::vector<std::uint32_t> run = volume.Clusters("/Run");
    ASSERT_GE(run.size(), 10u);
    for (std::size_t k = 1; k < 10; ++k) {
      ASSERT_EQ(run[k], run[0] + k) << "/Run was meant to lie in one run";
      volume.AddFolderEntry("/Over" + std::to_string(k), run[k], (run.size() - k) * 512, true);
    }
  }
  const SalvexRun scan = Scan(dir, disk);
  ASSERT_EQ(scan.status, 0) << scan.err;
  std::map<std::string, int> listed;
  for (const JsonValue& item : ParseJson(scan.out).items) {
    if (item.At("kind").Str() == "file") ++listed[item.At("name").Str()];
  }
  EXPECT_EQ(listed.size(), static_cast<std::size_t>(kFiles));
  EXPECT_TRUE(std::all_of(listed.begin(), listed.end(), [](const auto& named) { return named.second == 1; }));
}

// The main boot region claims 2^40 sectors, a FAT as long as the space
// before the heap and the clusters to fill it, and a folder says its
// directory runs 256 MiB from the heap's last real cluster: the volume
// ends with the disk, and nothing past it is read or warned about.
TEST(ExfatHostile, ABootRegionLargerThanTheDiskIsCutToTheDisk) {
  SALVEX_REQUIRE_TOOLS("mkfs.exfat");
  TempDir dir;
  const fs::path disk = dir / "huge.img";
  {
    ExfatTestVolume volume = ExfatTestVolume::Create(disk, 16ull << 20, 4096);
    volume.AddFile("/kept.bin", AsVector(HighBytes("kept", 5000)));
    volume.AddFolderEntry("/Far", volume.ClusterCount() + 1, 256ull << 20, true);
  }
  std::string region = ReadAt(disk, 0, 11 * kSector);
  const std::uint32_t fatOffset = static_cast<std::uint8_t>(region[80]) | static_cast<std::uint8_t>(region[81]) << 8;
  const std::uint32_t heapOffset = static_cast<std::uint8_t>(region[88]) | static_cast<std::uint8_t>(region[89]) << 8;
  const std::uint32_t fatLength = heapOffset - fatOffset;
  region.replace(72, 8, Le(1ull << 40, 8));
  region.replace(84, 4, Le(fatLength, 4));
  region.replace(92, 4, Le(std::uint64_t{fatLength} * 128 - 2, 4));
  const std::uint32_t sum =
      ExfatBootChecksum({reinterpret_cast<const std::uint8_t*>(region.data()), region.size()});
  std::string checksums;
  for (std::uint64_t at = 0; at < kSector; at += 4) checksums += Le(sum, 4);
  PatchImage(disk, 0, region);
  PatchImage(disk, 11 * kSector, checksums);

  const SalvexRun scan = Scan(dir, disk);
  EXPECT_EQ(scan.status, 0) << scan.err.substr(0, 2000);
  EXPECT_EQ(scan.err.find("could not be read"), std::string::npos) << scan.err.substr(0, 2000);
  std::set<std::string> names;
  for (const JsonValue& item : ParseJson(scan.out).items) names.insert(item.At("name").Str());
  EXPECT_EQ(names, (std::set<std::string>{"kept.bin", "Far"}));
}

// What becomes of a live file's entry set.
struct SetDamage {
  const char* name;
  std::size_t nameUnits;  // of the file's name as written
  // Changes the set (its bytes from the File entry on, with room for one
  // more entry after it).
  void (*damage)(std::string& set);
  const char* listedAs;   // empty: the file's own name
  bool nameIncomplete;
};

class ExfatEntrySetDamageTest : public ::testing::TestWithParam<SetDamage> {};

// A live file is listed whatever its entry set's counts say, named from
// what its name entries hold (or after its first cluster), and marked when
// its name is not whole; its bytes come back all the same.
TEST_P(ExfatEntrySetDamageTest, ALiveFileIsListedAndMarked) {
  SALVEX_REQUIRE_TOOLS("mkfs.exfat");
  const SetDamage& c = GetParam();
  TempDir dir;
  const fs::path disk = dir / "sets.img";
  const std::string name = std::string(c.nameUnits - 4, 'n') + ".bin";
  const std::string bytes = HighBytes("damaged set", 9000);
  std::uint64_t at = 0;
  std::uint32_t firstCluster = 0;
  {
    ExfatTestVolume volume = ExfatTestVolume::Create(disk, 8ull << 20, 4096);
    volume.AddFile("/" + name, AsVector(bytes));
    at = volume.EntrySetOffset("/" + name);
    firstCluster = volume.FirstCluster("/" + name);
  }
  const std::size_t entries = 2 + (c.nameUnits + 14) / 15;
  std::string set = ReadAt(disk, at, (entries + 1) * 32);
  c.damage(set);
  PatchImage(disk, at, set);

  const SalvexRun scan = Scan(dir, disk);
  ASSERT_EQ(scan.status, 0) << scan.err;
  const std::string listed = *c.listedAs != '\0' ? c.listedAs + std::to_string(firstCluster) : name;
  bool found = false;
  for (const JsonValue& item : ParseJson(scan.out).items) {
    if (item.At("kind").Str() != "file") continue;
    EXPECT_EQ(item.At("name").Str(), listed);
    EXPECT_EQ(item.Has("nameIncomplete"), c.nameIncomplete);
    found = true;
  }
  EXPECT_TRUE(found) << "the live file is not listed";
  const fs::path out = dir / "out";
  const SalvexRun recover = RunSalvexReading(
      SALVEX_BINARY, disk, "recover " + ShellQuote(disk.string()) + " --all --out " + ShellQuote(out.string()), dir.Path());
  ASSERT_EQ(recover.status, 0) << recover.out << recover.err;
  EXPECT_TRUE(ReadWholeFile(out / listed) == bytes);
}

void SetNameLength(std::string& set, std::uint8_t length) { set[32 + 3] = static_cast<char>(length); }

INSTANTIATE_TEST_SUITE_P(
    Sets, ExfatEntrySetDamageTest,
    ::testing::Values(
        SetDamage{"nameLengthZero", 20, [](std::string& set) { SetNameLength(set, 0); }, "", true},
        SetDamage{"nameLengthPastItsEntries", 20, [](std::string& set) { SetNameLength(set, 40); }, "", true},
        SetDamage{"noNameEntry", 20, [](std::string& set) { set[1] = 1; }, "File", true},
        // A 255-unit name and a vendor extension entry after it: nineteen
        // secondary entries, as exFAT allows.
        SetDamage{"vendorEntryAfterTheLongestName", 255,
                  [](std::string& set) {
                    set[1] = 19;
                    set[19 * 32] = static_cast<char>(0xE0);
                    const std::uint16_t sum =
                        ExfatEntrySetChecksum({reinterpret_cast<const std::uint8_t*>(set.data()), set.size()});
                    set.replace(2, 2, Le(sum, 2));
                  },
                  "", false}),
    [](const ::testing::TestParamInfo<SetDamage>& param) { return std::string(param.param.name); });

// The second cluster of a folder that lies in one run (no FAT chain) was
// never read into the image: the map marks the folder, whose later entries
// are missing, and the scan ends with status 1.
TEST(ExfatMapMarks, AFolderWhoseLaterClusterIsUnreadIsMarked) {
  SALVEX_REQUIRE_TOOLS("mkfs.exfat");
  TempDir dir;
  const fs::path disk = dir / "mapped.img";
  std::uint64_t unread = 0;
  {
    ExfatTestVolume volume = ExfatTestVolume::Create(disk, 8ull << 20, 4096);
    volume.AddFolder("/Many");
    for (int i = 0; i < 100; ++i) volume.AddFile("/Many/file" + std::to_string(i) + ".txt", {});
    const std::vector<std::uint32_t> clusters = volume.Clusters("/Many");
    ASSERT_GE(clusters.size(), 2u);
    ASSERT_EQ(clusters[1], clusters[0] + 1) << "/Many was meant to lie in one run";
    unread = volume.ClusterOffset(clusters[1]);
  }
  const std::uint64_t size = fs::file_size(disk);
  RescueMap map(size);
  map.Set(0, size, BlockStatus::finished);
  map.Set(unread, 4096, BlockStatus::badSector);
  map.phase = RescuePhase::finished;
  std::ofstream(dir / "disk.map", std::ios::binary) << FormatRescueMap(map, {"test", "", "", ""});
  PatchImage(disk, unread, std::string(4096, '\0'));  // what an image holds where it was not read

  const SalvexRun scan = Scan(dir, disk, " --map " + ShellQuote((dir / "disk.map").string()));
  EXPECT_EQ(scan.status, 1) << scan.err;
  EXPECT_NE(scan.err.find("0 file(s) and 1 folder(s) lie on sectors that were not read"), std::string::npos) << scan.err;
  for (const JsonValue& item : ParseJson(scan.out).items) {
    if (item.At("name").Str() == "Many") {
      EXPECT_EQ(item.At("unreadSectors").Num(), 8u);
    }
  }
}

}  // namespace
}  // namespace salvex::testing
