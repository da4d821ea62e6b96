// `salvex image` beside GNU ddrescue: the same source with the same bad
// sectors (ddrescue's test mode fails them for it, the fault-injecting
// source for us) must give the same image and the same unfinished areas;
// a map ddrescue left half done is completed; every map written passes
// ddrescuelog; a scan with the map names the files on unread sectors.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "imaging/map_text.h"
#include "platform/faulty_disk_source.h"
#include "platform/file_disk_source.h"
#include "session/disk_imaging.h"
#include "support/json_value.h"
#include "support/mounted_volume.h"
#include "support/recovery_tool_disk.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::uint64_t kSector = 512;
constexpr std::uint64_t kSourceBytes = 6ULL << 20;

std::string RandomBytes(std::uint64_t size) {
  std::mt19937 random(2323);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct BadRange {
  std::uint64_t first;  // sectors
  std::uint64_t count;
};

// The areas of a map that are not finished, as (pos, size, status).
std::vector<MapBlock> Unfinished(const std::string& mapText) {
  const ParsedMap parsed = ParseRescueMap(mapText);
  EXPECT_TRUE(parsed.map) << parsed.error << "\n" << mapText;
  std::vector<MapBlock> blocks;
  if (!parsed.map) return blocks;
  for (const MapBlock& block : parsed.map->Blocks()) {
    if (block.status != BlockStatus::finished) blocks.push_back(block);
  }
  return blocks;
}

void ExpectDdrescuelogAccepts(const fs::path& map) {
  const CommandResult shown = RunCommand("ddrescuelog -t " + ShellQuote(map.string()));
  EXPECT_EQ(shown.status, 0) << shown.output;
}

class SilentProgress final : public ImagingProgressView {
 public:
  void Progress(const ImagingProgress&) override {}
};

struct DdrescueCase {
  const char* name;
  std::vector<BadRange> bad;
};

class ImageLikeDdrescueTest : public ::testing::TestWithParam<DdrescueCase> {};

TEST_P(ImageLikeDdrescueTest, SameImageAndSameUnfinishedAreas) {
  SALVEX_REQUIRE_TOOLS("ddrescue", "ddrescuelog");
  TempDir dir;
  const std::string bytes = RandomBytes(kSourceBytes);
  WriteFile(dir / "source.bin", bytes);

  // ddrescue's test mode reads what this map calls finished and fails the rest.
  RescueMap faults(kSourceBytes);
  faults.Set(0, kSourceBytes, BlockStatus::finished);
  for (const BadRange& range : GetParam().bad) faults.Set(range.first * kSector, range.count * kSector, BlockStatus::badSector);
  faults.phase = RescuePhase::finished;
  WriteFile(dir / "faults.map", FormatRescueMap(faults, {"test", "", "", ""}));
  RunChecked("ddrescue -q -b512 -H " + ShellQuote((dir / "faults.map").string()) + " " +
             ShellQuote((dir / "source.bin").string()) + " " + ShellQuote((dir / "dd.img").string()) + " " +
             ShellQuote((dir / "dd.map").string()));

  Session session;
  std::string error;
  auto faulty = std::make_unique<FaultyDiskSource>(FileDiskSource::Open((dir / "source.bin").string(), error));
  for (const BadRange& range : GetParam().bad) faulty->FailSectors(range.first, range.count);
  session.reader.Open(std::move(faulty));
  PreparedImaging prepared = PrepareImagingOfOpenDisk(
      session, {"", (dir / "salvex.img").string(), (dir / "salvex.map").string(), 0, "test", "salvex image"});
  ASSERT_TRUE(prepared.job) << prepared.outcome.error;
  std::atomic<bool> stop{false};
  SilentProgress progress;
  const ImagingResult result = prepared.job->Run(stop, progress);
  EXPECT_EQ(result.end, ImagingEnd::finished) << result.error;

  // ddrescue does not lengthen its image over a bad end; what it left out is zeros.
  std::string ddImage = ReadWholeFile(dir / "dd.img");
  ddImage.resize(kSourceBytes, '\0');
  EXPECT_TRUE(ReadWholeFile(dir / "salvex.img") == ddImage);
  EXPECT_EQ(Unfinished(ReadWholeFile(dir / "salvex.map")), Unfinished(ReadWholeFile(dir / "dd.map")));
  ExpectDdrescuelogAccepts(dir / "salvex.map");
}

INSTANTIATE_TEST_SUITE_P(
    BadRanges, ImageLikeDdrescueTest,
    ::testing::Values(DdrescueCase{"Healthy", {}}, DdrescueCase{"OneSector", {{5000, 1}}},
                      DdrescueCase{"FirstSector", {{0, 1}}},
                      DdrescueCase{"Scattered", {{100, 3}, {2047, 2}, {4096, 1}, {9000, 40}}},
                      DdrescueCase{"LongStretch", {{3000, 4500}}},
                      DdrescueCase{"ManyAreas", {{200, 1}, {210, 1}, {220, 1}, {230, 1}, {2100, 700}, {11000, 17}}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// ddrescue copied the first 3 MiB and then a block of it turned out
// non-trimmed (the map edited as a stop in the trimming would leave it):
// the run reads only what the map does not call finished, and a second
// run reads nothing and leaves the map as it is.
TEST(ImageCommand, CompletesAMapDdrescueLeftAndThenReadsNothing) {
  SALVEX_REQUIRE_TOOLS("ddrescue", "ddrescuelog");
  TempDir dir;
  const std::string bytes = RandomBytes(kSourceBytes);
  WriteFile(dir / "source.bin", bytes);
  const std::string image = (dir / "disk.img").string();
  const std::string map = (dir / "disk.map").string();
  RunChecked("ddrescue -q -s 3MiB " + ShellQuote((dir / "source.bin").string()) + " " + ShellQuote(image) + " " +
             ShellQuote(map));
  const std::string ddMap = ReadWholeFile(map);
  const std::string whole = "0x00000000  0x00300000  +\n";
  ASSERT_NE(ddMap.find(whole), std::string::npos) << ddMap;
  WriteFile(map, Substitute(ddMap, whole,
                            "0x00000000  0x00100000  +\n0x00100000  0x00010000  *\n0x00110000  0x001F0000  +\n"));
  {
    std::fstream zeroed(image, std::ios::binary | std::ios::in | std::ios::out);
    zeroed.seekp(0x100000);
    const std::string zeros(0x10000, '\0');
    zeroed.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
  }

  const std::string arguments = "image " + ShellQuote((dir / "source.bin").string()) + " " + ShellQuote(image) +
                                " --map " + ShellQuote(map) + " --json";
  const SalvexRun first = RunSalvexReading(SALVEX_BINARY, dir / "source.bin", arguments, dir.Path());
  ASSERT_EQ(first.status, 0) << first.err;
  const JsonValue done = ParseJson(first.out);
  EXPECT_EQ(done.At("end").Str(), "finished");
  EXPECT_TRUE(done.At("resumed").Bool());
  EXPECT_EQ(done.At("bytesReadThisRun").Num(), kSourceBytes - 0x300000 + 0x10000);
  EXPECT_EQ(done.At("rescued").Num(), kSourceBytes);
  EXPECT_TRUE(ReadWholeFile(image) == bytes);
  ExpectDdrescuelogAccepts(map);
  EXPECT_EQ(RunCommand("ddrescuelog -D " + ShellQuote(map)).status, 0) << "ddrescuelog calls the rescue finished";

  const std::string finishedMap = ReadWholeFile(map);
  const SalvexRun again = RunSalvexReading(SALVEX_BINARY, dir / "source.bin", arguments, dir.Path());
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(ParseJson(again.out).At("reads").Num(), 0u);
  EXPECT_EQ(ReadWholeFile(map), finishedMap);
}

struct RefusalCase {
  const char* name;
  const char* arguments;  // SOURCE and DIR stand for the paths
  const char* said;
};

class ImageRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

// Nothing is written where it would touch the source or lose an image.
TEST_P(ImageRefusalTest, RefusesWithoutChangingTheSource) {
  TempDir dir;
  WriteFile(dir / "source.bin", RandomBytes(1 << 20));
  WriteFile(dir / "old.img", "an image of something");
  WriteFile(dir / "other.map", "0 +\n0 0x200000 +\n");
  WriteFile(dir / "broken.map", "0 +\n0 0x1000 +\n0x2000 0x1000 +\n");
  fs::create_hard_link(dir / "source.bin", dir / "link.bin");
  const std::string arguments = Substitute(Substitute(GetParam().arguments, "SOURCE", ShellQuote((dir / "source.bin").string())),
                                           "DIR", dir.Path().string());
  const SalvexRun run = RunSalvexReading(SALVEX_BINARY, dir / "source.bin", arguments, dir.Path());
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.err.find(GetParam().said), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImageRefusalTest,
    ::testing::Values(
        RefusalCase{"ImageIsTheSource", "image SOURCE DIR/link.bin --map DIR/new.map",
                    "it is the disk, image or snapshot being read"},
        RefusalCase{"MapIsTheSource", "image SOURCE DIR/new.img --map DIR/link.bin",
                    "it is the disk, image or snapshot being read"},
        RefusalCase{"ImageAndMapOneFile", "image SOURCE DIR/new.img --map DIR/new.img", "must be two files"},
        RefusalCase{"ImageWithoutItsMap", "image SOURCE DIR/old.img --map DIR/new.map", "exists already"},
        RefusalCase{"MapOfALargerDisk", "image SOURCE DIR/new.img --map DIR/other.map", "the map of another disk"},
        RefusalCase{"MapWithAGap", "image SOURCE DIR/new.img --map DIR/broken.map", "line 3"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

struct FullDestinationCase {
  const char* name;
  MountedKind kind;
};

class ImageOntoAFullFileSystemTest : public ::testing::TestWithParam<FullDestinationCase> {};

// The image's file system has room for half of the source: ext4 takes the
// file's length as a hole and refuses bytes part way; exFAT refuses the
// length itself. Either way the map is there, whole, and a run from it on a
// disk with room ends with every byte of the source, so that the failing
// disk is never read from its start again.
TEST_P(ImageOntoAFullFileSystemTest, LeavesAMapToGoOnFrom) {
  TempDir dir;
  std::string whyNot;
  const auto small = MountedVolume::Make(GetParam().kind, 3 << 20, dir.Path(), whyNot);
  if (!small) GTEST_SKIP() << whyNot;
  const std::string bytes = RandomBytes(kSourceBytes);
  WriteFile(dir / "source.bin", bytes);
  const fs::path image = small->Path() / "disk.img";
  const fs::path map = small->Path() / "disk.map";
  const auto arguments = [&](const fs::path& imagePath, const fs::path& mapPath) {
    return "image " + ShellQuote((dir / "source.bin").string()) + " " + ShellQuote(imagePath.string()) + " --map " +
           ShellQuote(mapPath.string()) + " --json";
  };

  const SalvexRun full = RunSalvexReading(SALVEX_BINARY, dir / "source.bin", arguments(image, map), dir.Path());

  EXPECT_EQ(full.status, 1) << full.out << full.err;
  EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
  ASSERT_TRUE(fs::exists(map)) << full.err;
  EXPECT_FALSE(fs::exists(map.string() + ".tmp")) << "half a map left beside the map";
  const ParsedMap saved = ParseRescueMap(ReadWholeFile(map));
  ASSERT_TRUE(saved.map) << saved.error;
  EXPECT_EQ(saved.map->Extent(), kSourceBytes);

  fs::copy_file(map, dir / "moved.map");
  if (fs::exists(image)) fs::copy_file(image, dir / "moved.img");
  const SalvexRun resumed =
      RunSalvexReading(SALVEX_BINARY, dir / "source.bin", arguments(dir / "moved.img", dir / "moved.map"), dir.Path());
  ASSERT_EQ(resumed.status, 0) << resumed.err;
  const JsonValue done = ParseJson(resumed.out);
  EXPECT_TRUE(done.At("resumed").Bool());
  EXPECT_EQ(done.At("end").Str(), "finished");
  EXPECT_TRUE(ReadWholeFile(dir / "moved.img") == bytes);
}

INSTANTIATE_TEST_SUITE_P(FileSystems, ImageOntoAFullFileSystemTest,
                         ::testing::Values(FullDestinationCase{"Ext4", MountedKind::ext4},
                                           FullDestinationCase{"Exfat", MountedKind::exfat}),
                         [](const auto& param) { return std::string(param.param.name); });

// The sectors of one file are bad in the map: the scan marks that file
// and no other, find says so too, and the recovery counts its sectors
// as unreadable.
TEST(ImageMapMarks, ScanFindAndRecoverNameTheFileOnUnreadSectors) {
  SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mmd", "ddrescuelog");
  TempDir dir;
  RecoveryToolDisk disk(dir / "disk.img", FsType::fat16, 1, 8192);
  const std::string damaged = PatternBytes("damaged", 5000);
  disk.CopyFiles("", {{"whole.txt", PatternBytes("whole", 3000), 946728000}, {"damaged.txt", damaged, 946728000}});
  const std::string image = ReadWholeFile(disk.Image());
  const std::size_t at = image.find(damaged.substr(512, 512));
  ASSERT_NE(at, std::string::npos);
  ASSERT_EQ(at % kSector, 0u);
  // Its second and third sectors were never read.
  RescueMap map(image.size());
  map.Set(0, image.size(), BlockStatus::finished);
  map.Set(at, 2 * kSector, BlockStatus::badSector);
  map.phase = RescuePhase::finished;
  WriteFile(dir / "disk.map", FormatRescueMap(map, {"test", "", "", ""}));
  ExpectDdrescuelogAccepts(dir / "disk.map");
  const std::string common =
      ShellQuote(disk.Image().string()) + " --partition 1 --map " + ShellQuote((dir / "disk.map").string());

  const SalvexRun scan = RunSalvexReading(SALVEX_BINARY, disk.Image(), "scan " + common + " --json", dir.Path());
  ASSERT_EQ(scan.status, 0) << scan.err;
  std::map<std::string, std::uint64_t> unread;
  for (const JsonValue& item : ParseJson(scan.out).items) unread[item.At("name").Str()] = item.At("unreadSectors").Num();
  EXPECT_EQ(unread["DAMAGED.TXT"] + unread["damaged.txt"], 2u);
  EXPECT_EQ(unread["WHOLE.TXT"] + unread["whole.txt"], 0u);
  EXPECT_NE(scan.err.find("1 file(s) and 0 folder(s) lie on sectors that were not read"), std::string::npos) << scan.err;

  const SalvexRun listing = RunSalvexReading(SALVEX_BINARY, disk.Image(), "scan " + common, dir.Path());
  const std::size_t line = listing.out.find("damaged.txt");
  ASSERT_NE(line, std::string::npos) << listing.out;
  EXPECT_NE(listing.out.substr(line, listing.out.find('\n', line) - line).find("[2 sector(s) not read]"),
            std::string::npos)
      << listing.out;

  const SalvexRun found = RunSalvexReading(SALVEX_BINARY, disk.Image(), "find " + common + " '*.TXT' --json", dir.Path());
  ASSERT_EQ(found.status, 0) << found.err;
  for (const JsonValue& row : ParseJson(found.out).items) {
    EXPECT_EQ(row.At("unreadSectors").Num(), row.At("name").Str() == "DAMAGED.TXT" ? 2u : 0u) << row.At("name").Str();
  }

  const SalvexRun recovered = RunSalvexReading(
      SALVEX_BINARY, disk.Image(), "recover " + common + " --all --out " + ShellQuote((dir / "out").string()), dir.Path());
  EXPECT_EQ(recovered.status, 1) << "a file with unread sectors is not whole";
  EXPECT_NE(recovered.out.find("Written with unreadable sectors filled with zeros (1):"), std::string::npos)
      << recovered.out;
  EXPECT_NE(recovered.out.find("damaged.txt (2 sector(s))"), std::string::npos) << recovered.out;
}

}  // namespace
}  // namespace salvex::testing
