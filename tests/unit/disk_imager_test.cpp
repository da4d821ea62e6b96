#include "imaging/disk_imager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "imaging/map_text.h"
#include "platform/faulty_disk_source.h"
#include "platform/memory_disk_source.h"

namespace salvex {
namespace {

using S = BlockStatus;
constexpr std::uint64_t kSector = 512;

class MemoryImage final : public ImageSink {
 public:
  explicit MemoryImage(std::uint64_t size) : bytes(size, 0) {}
  bool WriteAt(std::uint64_t pos, std::span<const std::uint8_t> data) override {
    if (failAt && pos <= *failAt && *failAt < pos + data.size()) return false;
    std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(pos));
    return true;
  }
  bool Sync() override { return true; }

  std::vector<std::uint8_t> bytes;
  std::optional<std::uint64_t> failAt;
};

// Keeps the last map saved as text, as the map file would, and raises Stop
// after a chosen number of reads.
class RecordingObserver final : public ImagingObserver {
 public:
  explicit RecordingObserver(std::atomic<bool>& stop) : stop_(stop) {}
  void Progress(const ImagingProgress&) override {
    if (stopAfter && ++reads_ >= *stopAfter) stop_ = true;
  }
  std::string SaveMap(const RescueMap& map) override {
    if (!saveError.empty()) return saveError;
    savedText = FormatRescueMap(map, {"test", "", "", ""});
    ++saves;
    return {};
  }

  std::optional<int> stopAfter;
  std::string saveError;  // set: every save fails with it
  std::string savedText;
  int saves = 0;

 private:
  std::atomic<bool>& stop_;
  int reads_ = 0;
};

std::vector<std::uint8_t> RandomBytes(std::uint64_t size) {
  std::mt19937 random(23);
  std::vector<std::uint8_t> bytes(size);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

struct BadRange {
  std::uint64_t first;
  std::uint64_t count;
};

struct Disk {
  std::vector<std::uint8_t> bytes;
  FaultyDiskSource source;

  Disk(std::uint64_t sectors, const std::vector<BadRange>& bad)
      : bytes(RandomBytes(sectors * kSector)), source(std::make_unique<MemoryDiskSource>(bytes)) {
    for (const BadRange& range : bad) source.FailSectors(range.first, range.count);
  }
};

struct ImagingCase {
  const char* name;
  std::uint64_t sectors;
  std::vector<BadRange> bad;
  std::uint32_t copyBlockSectors;
};

// The image a run must end with: the source's bytes, zeros where it is bad.
std::vector<std::uint8_t> ExpectedImage(const Disk& disk, const std::vector<BadRange>& bad) {
  std::vector<std::uint8_t> expected = disk.bytes;
  for (const BadRange& range : bad) {
    std::fill_n(expected.begin() + static_cast<std::ptrdiff_t>(range.first * kSector), range.count * kSector, 0);
  }
  return expected;
}

// The map a run must end with: bad exactly where the source is, finished elsewhere.
std::vector<MapBlock> ExpectedBlocks(std::uint64_t sectors, std::vector<BadRange> bad) {
  std::sort(bad.begin(), bad.end(), [](const BadRange& a, const BadRange& b) { return a.first < b.first; });
  RescueMap map(sectors * kSector);
  map.Set(0, sectors * kSector, S::finished);
  for (const BadRange& range : bad) map.Set(range.first * kSector, range.count * kSector, S::badSector);
  return map.Blocks();
}

ImagingResult RunImager(Disk& disk, MemoryImage& image, RescueMap& map, std::uint32_t blockSectors, int retries,
                        RecordingObserver& observer, std::atomic<bool>& stop) {
  ImagingSettings settings;
  settings.copyBlockBytes = blockSectors * kSector;
  settings.retries = retries;
  settings.saveInterval = std::chrono::hours(1);
  DiskImager imager(disk.source, image, map, settings, stop, observer);
  return imager.Run();
}

class DiskImagerTest : public ::testing::TestWithParam<ImagingCase> {};

// The image holds every readable byte, the map names exactly the bad
// sectors, and no sector is read more often than the four phases ask
// (once in copying, once in trimming, once in scraping).
TEST_P(DiskImagerTest, ImagesEveryReadableSectorAndMapsTheBadOnes) {
  const ImagingCase& c = GetParam();
  Disk disk(c.sectors, c.bad);
  MemoryImage image(disk.bytes.size());
  RescueMap map(disk.bytes.size());
  std::atomic<bool> stop{false};
  RecordingObserver observer(stop);
  const ImagingResult result = RunImager(disk, image, map, c.copyBlockSectors, 0, observer, stop);

  EXPECT_EQ(result.end, ImagingEnd::finished);
  EXPECT_EQ(map.phase, RescuePhase::finished);
  EXPECT_TRUE(image.bytes == ExpectedImage(disk, c.bad));
  EXPECT_EQ(map.Blocks(), ExpectedBlocks(c.sectors, c.bad));
  const ParsedMap saved = ParseRescueMap(observer.savedText);
  ASSERT_TRUE(saved.map);
  EXPECT_EQ(saved.map->Blocks(), map.Blocks());

  std::map<std::uint64_t, int> readsOfSector;
  for (const auto& request : disk.source.Requests()) {
    for (std::uint64_t sector = request.byteOffset / kSector; sector * kSector < request.byteOffset + request.length;
         ++sector) {
      ++readsOfSector[sector];
    }
  }
  const auto most = std::max_element(readsOfSector.begin(), readsOfSector.end(),
                                     [](const auto& a, const auto& b) { return a.second < b.second; });
  ASSERT_NE(most, readsOfSector.end());
  EXPECT_LE(most->second, 3) << "sector " << most->first;
  EXPECT_EQ(readsOfSector.size(), c.sectors) << "every sector is read";
  EXPECT_EQ(result.reads, disk.source.Requests().size());
}

INSTANTIATE_TEST_SUITE_P(
    Sources, DiskImagerTest,
    ::testing::Values(ImagingCase{"Healthy", 300, {}, 64}, ImagingCase{"OneBadSector", 300, {{100, 1}}, 64},
                      ImagingCase{"FirstAndLastSectors", 300, {{0, 1}, {299, 1}}, 64},
                      ImagingCase{"RangeAcrossBlocks", 400, {{60, 80}}, 64},
                      ImagingCase{"ScatteredInOneBlock", 256, {{70, 1}, {75, 3}, {90, 1}, {120, 2}}, 64},
                      ImagingCase{"ManyBadBlocksInARow", 2048, {{128, 900}, {1500, 5}}, 32},
                      ImagingCase{"WholeDiskBad", 64, {{0, 64}}, 16},
                      ImagingCase{"PartialLastBlock", 301, {{290, 3}}, 64},
                      ImagingCase{"BlockOfOneSector", 50, {{10, 2}, {30, 1}}, 1}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// Stopped after any number of reads and run again from the map it saved,
// the rescue ends with the image and map of a run never stopped.
TEST(DiskImagerResume, StoppedAnywhereAndRunAgainEndsTheSame) {
  const std::vector<BadRange> bad{{60, 80}, {200, 1}, {300, 4}};
  for (const int stopAfter : {1, 2, 5, 9, 40, 100, 150, 200}) {
    Disk disk(400, bad);
    MemoryImage image(disk.bytes.size());
    RescueMap map(disk.bytes.size());
    std::atomic<bool> stop{false};
    RecordingObserver first(stop);
    first.stopAfter = stopAfter;
    const ImagingResult stopped = RunImager(disk, image, map, 64, 0, first, stop);
    ASSERT_EQ(stopped.end, ImagingEnd::stopped) << stopAfter;
    ASSERT_EQ(first.saves, 1) << "the map is saved when the run stops";

    ParsedMap saved = ParseRescueMap(first.savedText);
    ASSERT_TRUE(saved.map);
    stop = false;
    RecordingObserver second(stop);
    const ImagingResult resumed = RunImager(disk, image, *saved.map, 64, 0, second, stop);
    EXPECT_EQ(resumed.end, ImagingEnd::finished) << stopAfter;
    EXPECT_TRUE(image.bytes == ExpectedImage(disk, bad)) << stopAfter;
    EXPECT_EQ(saved.map->Blocks(), ExpectedBlocks(400, bad)) << stopAfter;
  }
}

// A map with nothing left to try makes a run that reads nothing, unless
// retries are asked for; a retry reads a sector that has come good.
TEST(DiskImagerRetries, FinishedMapReadsNothingAndRetriesReadBadSectorsOnly) {
  struct Case {
    int retries;
    int flakyFailures;  // reads of the bad sector that still fail (it reads after them)
    std::size_t expectedReads;
    BlockStatus retriedStatus;
  };
  for (const Case c : {Case{0, 0, 0, S::badSector}, Case{1, 0, 1, S::finished}, Case{2, 5, 2, S::badSector}}) {
    Disk disk(100, {});
    disk.source.FailSectorTimes(40, c.flakyFailures);
    MemoryImage image(disk.bytes.size());
    RescueMap map(disk.bytes.size());
    map.Set(0, disk.bytes.size(), S::finished);
    map.Set(40 * kSector, kSector, S::badSector);
    map.phase = RescuePhase::finished;
    std::atomic<bool> stop{false};
    RecordingObserver observer(stop);
    const ImagingResult result = RunImager(disk, image, map, 64, c.retries, observer, stop);
    EXPECT_EQ(result.end, ImagingEnd::finished);
    EXPECT_EQ(disk.source.Requests().size(), c.expectedReads) << c.retries;
    MapBlock block;
    ASSERT_TRUE(map.BlockAt(40 * kSector, block));
    EXPECT_EQ(block.status, c.retriedStatus) << c.retries;
    EXPECT_EQ(observer.saves, c.retries == 0 ? 0 : 1) << "a finished map is left alone";
  }
}

TEST(DiskImagerFailures, ImageThatRefusesBytesEndsTheRunWithTheMapSaved) {
  Disk disk(300, {});
  MemoryImage image(disk.bytes.size());
  image.failAt = 130 * kSector;
  RescueMap map(disk.bytes.size());
  std::atomic<bool> stop{false};
  RecordingObserver observer(stop);
  const ImagingResult result = RunImager(disk, image, map, 64, 0, observer, stop);
  EXPECT_EQ(result.end, ImagingEnd::imageWriteFailed);
  EXPECT_FALSE(result.error.empty());
  const ParsedMap saved = ParseRescueMap(observer.savedText);
  ASSERT_TRUE(saved.map);
  // What was written stays finished; the block refused is not.
  EXPECT_EQ(saved.map->UnfinishedBytesIn(0, 128 * kSector), 0u);
  EXPECT_EQ(saved.map->UnfinishedBytesIn(128 * kSector, 64 * kSector), 64 * kSector);
}

struct MapFailureCase {
  const char* name;
  std::optional<std::uint64_t> imageFailsAt;
  ImagingEnd end;
  std::vector<std::string> said;
};

class DiskImagerMapFailureTest : public ::testing::TestWithParam<MapFailureCase> {};

// A map that cannot be saved is an error in its own words, also when the
// image failed first (a full disk refuses both).
TEST_P(DiskImagerMapFailureTest, AMapThatCannotBeSavedIsAnErrorThatSaysSo) {
  const MapFailureCase& c = GetParam();
  Disk disk(300, {});
  MemoryImage image(disk.bytes.size());
  image.failAt = c.imageFailsAt;
  RescueMap map(disk.bytes.size());
  std::atomic<bool> stop{false};
  RecordingObserver observer(stop);
  observer.saveError = "cannot write disk.map.tmp: No space left on device";
  const ImagingResult result = RunImager(disk, image, map, 64, 0, observer, stop);
  EXPECT_EQ(result.end, c.end);
  for (const std::string& words : c.said) EXPECT_NE(result.error.find(words), std::string::npos) << result.error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DiskImagerMapFailureTest,
    ::testing::Values(MapFailureCase{"AtTheEnd", std::nullopt, ImagingEnd::mapWriteFailed,
                                     {"the map could not be saved: cannot write disk.map.tmp"}},
                      MapFailureCase{"AfterTheImageFailed", 130 * kSector, ImagingEnd::imageWriteFailed,
                                     {"the image could not be written at byte",
                                      "the map could not be saved either (cannot write disk.map.tmp"}}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace salvex
