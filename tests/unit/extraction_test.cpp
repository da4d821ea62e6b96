// ExtractFatFile on crafted volumes: which clusters a file is copied from,
// how they are read, what Stop and Skip leave behind, unreadable sectors,
// and the date put on the file.

#include "recovery/fat_extraction.h"

#include <gtest/gtest.h>

#include <numeric>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "items/date_format.h"
#include "support/recovery_bench.h"

namespace salvex {
namespace {

namespace fs = std::filesystem;
using testing::DosDate;
using testing::ReadHostFile;
using testing::RecoveryBench;
using testing::RecoveryGeometry;

std::string TypeName(FsType type) { return FsTypeText(type); }

// Test names for tables whose rows carry a `name`.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& param) {
  return param.param.name;
}

// --- Which clusters a file is copied from ---------------------------------

struct ChainCase {
  const char* name;
  std::vector<std::uint32_t> fat1;  // linked in FAT #1; empty: its entries stay cleared
  std::vector<std::uint32_t> fat2;
  std::vector<std::uint32_t> copiedFrom;
};

// A file of three clusters (the last one partly used) starting at cluster 10.
const ChainCase kChainCases[] = {
    {"BothFatsAgree", {10, 20, 15}, {10, 20, 15}, {10, 20, 15}},
    {"FirstFatWinsOverASecondOfTheRightLength", {10, 20, 15}, {10, 30, 31}, {10, 20, 15}},
    {"FirstFatClearedSecondUsed", {}, {10, 20, 15}, {10, 20, 15}},
    {"FirstFatTooLongSecondUsed", {10, 20, 15, 16}, {10, 30, 31}, {10, 30, 31}},
    {"FirstFatTooShortSecondUsed", {10, 20}, {10, 30, 31}, {10, 30, 31}},
    {"BothClearedConsecutiveClusters", {}, {}, {10, 11, 12}},
    {"BothTooLongConsecutiveClusters", {10, 20, 15, 16}, {10, 30, 31, 32, 33}, {10, 11, 12}},
    {"TooLongAndClearedConsecutiveClusters", {10, 20, 15, 16, 17}, {}, {10, 11, 12}},
    {"TooShortInBothConsecutiveClusters", {10, 40}, {10, 41}, {10, 11, 12}},
};

class ChainChoiceTest : public ::testing::TestWithParam<std::tuple<FsType, ChainCase>> {};

std::string ChainCaseName(const ::testing::TestParamInfo<std::tuple<FsType, ChainCase>>& param) {
  return TypeName(std::get<0>(param.param)) + "_" + std::get<1>(param.param).name;
}

TEST_P(ChainChoiceTest, CopiesTheClustersOfTheFirstChainOfTheRightLength) {
  const auto& [type, chain] = GetParam();
  RecoveryBench bench(RecoveryGeometry(type, 1));
  if (!chain.fat1.empty()) bench.fat.LinkChain(chain.fat1, 1);
  if (!chain.fat2.empty()) bench.fat.LinkChain(chain.fat2, 2);
  bench.Open();
  const std::uint64_t size = 3 * kSectorSize - 100;
  auto context = bench.Context();

  const ExtractionResult result = ExtractFatFile(context, bench.Request("file.bin", 10, size));

  EXPECT_EQ(result.outcome, ExtractionOutcome::written);
  EXPECT_EQ(result.bytesWritten, size);
  EXPECT_FALSE(result.cutShort);
  EXPECT_EQ(ReadHostFile(bench.OutPath() / "file.bin"), bench.BytesAlong(chain.copiedFrom, size));
}

INSTANTIATE_TEST_SUITE_P(Table, ChainChoiceTest,
                         ::testing::Combine(::testing::Values(FsType::fat16, FsType::fat32),
                                            ::testing::ValuesIn(kChainCases)),
                         ChainCaseName);

TEST(ChainChoice, AnUnreadableSectorOfTheFirstFatFallsBackToTheSecond) {
  RecoveryBench bench(RecoveryGeometry(FsType::fat32, 1));
  const std::uint32_t chain[] = {10, 20, 15};
  bench.fat.LinkChain(chain);
  bench.fat.SetFatEntry(20, 30, 1);  // FAT #1 would lead elsewhere, were it readable
  bench.Open().FailSector(bench.fat.Fat1Start());
  auto context = bench.Context();

  const ExtractionResult result = ExtractFatFile(context, bench.Request("file.bin", 10, 3 * kSectorSize));

  EXPECT_EQ(result.outcome, ExtractionOutcome::written);
  EXPECT_EQ(result.unreadableSectors, 0u) << "a FAT sector is not part of the file";
  EXPECT_EQ(ReadHostFile(bench.OutPath() / "file.bin"), bench.BytesAlong(chain, 3 * kSectorSize));
}

// --- Sizes, and how many sectors each read asks for ------------------------

const std::uint32_t kClusterSizes[] = {1, 2, 4, 8, 16, 32, 64};

enum class SizeKind { oneByte, oneCluster, clusterAndAByte, threeClustersLessSeven };

std::uint64_t SizeOf(SizeKind kind, std::uint64_t clusterBytes) {
  switch (kind) {
    case SizeKind::oneByte: return 1;
    case SizeKind::oneCluster: return clusterBytes;
    case SizeKind::clusterAndAByte: return clusterBytes + 1;
    case SizeKind::threeClustersLessSeven: return 3 * clusterBytes - 7;
  }
  return 0;
}

class CopyReadsTest : public ::testing::TestWithParam<std::tuple<std::uint32_t, SizeKind>> {};

std::string CopyReadsName(const ::testing::TestParamInfo<std::tuple<std::uint32_t, SizeKind>>& param) {
  static const char* const kSizeNames[] = {"OneByte", "OneCluster", "ClusterAndAByte", "ThreeClustersLessSeven"};
  return "Spc" + std::to_string(std::get<0>(param.param)) + "_" + kSizeNames[static_cast<int>(std::get<1>(param.param))];
}

// The sectors a file of `size` bytes along `chain` occupies, in file order.
std::vector<std::uint64_t> FileSectors(const RecoveryBench& bench, std::span<const std::uint32_t> chain,
                                       std::uint64_t size) {
  std::vector<std::uint64_t> sectors;
  const std::uint64_t needed = (size + kSectorSize - 1) / kSectorSize;
  for (const std::uint32_t cluster : chain) {
    for (std::uint32_t i = 0; i < bench.fat.Geometry().sectorsPerCluster && sectors.size() < needed; ++i) {
      sectors.push_back(bench.fat.ClusterSector(cluster) + i);
    }
  }
  return sectors;
}

TEST_P(CopyReadsTest, ReadsEachSectorTheFileUsesOnceAndWritesExactlyItsSize) {
  const auto& [spc, sizeKind] = GetParam();
  RecoveryBench bench(RecoveryGeometry(FsType::fat32, spc, 2048 + 16 * spc));
  const std::uint64_t size = SizeOf(sizeKind, bench.ClusterBytes());
  const std::uint64_t clustersUsed = (size + bench.ClusterBytes() - 1) / bench.ClusterBytes();
  const std::uint32_t order[] = {3, 9, 5};  // out of order, to see every jump taken
  const auto chain = std::span(order).first(clustersUsed);
  bench.fat.LinkChain(chain);
  FaultyDiskSource& disk = bench.Open();
  auto context = bench.Context();

  const ExtractionResult result = ExtractFatFile(context, bench.Request("file.bin", chain[0], size));

  ASSERT_EQ(result.outcome, ExtractionOutcome::written);
  EXPECT_EQ(ReadHostFile(bench.OutPath() / "file.bin"), bench.BytesAlong(chain, size));
  // The data reads, in order, cover exactly the sectors the file uses: no
  // sector twice, none past the file's end (a bad one there is not the file's).
  std::vector<std::uint64_t> read;
  const std::uint64_t dataStart = bench.fat.ClusterSector(2) * kSectorSize;
  for (const auto& request : disk.Requests()) {
    if (request.byteOffset < dataStart) continue;
    for (std::uint64_t at = 0; at < request.length; at += kSectorSize) read.push_back((request.byteOffset + at) / kSectorSize);
  }
  EXPECT_EQ(read, FileSectors(bench, chain, size));
}

TEST(CopyReads, ConsecutiveClustersAreReadTogether) {
  RecoveryBench bench(RecoveryGeometry(FsType::fat32, 1, 4096));
  const std::uint32_t clusters[] = {10, 11, 12, 13, 40, 41};
  bench.fat.LinkChain(clusters);
  FaultyDiskSource& disk = bench.Open();
  auto context = bench.Context();
  const ExtractionResult result = ExtractFatFile(context, bench.Request("file.bin", 10, 6 * kSectorSize));
  ASSERT_EQ(result.outcome, ExtractionOutcome::written);
  std::vector<std::uint64_t> lengths;
  const std::uint64_t dataStart = bench.fat.ClusterSector(2) * kSectorSize;
  for (const auto& request : disk.Requests()) {
    if (request.byteOffset >= dataStart) lengths.push_back(request.length / kSectorSize);
  }
  EXPECT_EQ(lengths, (std::vector<std::uint64_t>{4, 2}));
}

INSTANTIATE_TEST_SUITE_P(Table, CopyReadsTest,
                         ::testing::Combine(::testing::ValuesIn(kClusterSizes),
                                            ::testing::Values(SizeKind::oneByte, SizeKind::oneCluster,
                                                              SizeKind::clusterAndAByte,
                                                              SizeKind::threeClustersLessSeven)),
                         CopyReadsName);

// --- Stop Saving and Skip File ---------------------------------------------

enum class Button { stopSaving, skipFile };

std::atomic<bool>& FlagOf(RecoveryRunState& run, Button button) {
  return button == Button::stopSaving ? run.stopSaving : run.skipFile;
}

// Passes reads through, and presses a button once `pressAfter` reads of the
// data area have been answered: the user acting in the middle of a cluster.
class PressingDisk final : public DiskSource {
 public:
  PressingDisk(std::unique_ptr<DiskSource> inner, std::uint64_t dataStart, int pressAfter, std::atomic<bool>& flag)
      : inner_(std::move(inner)), dataStart_(dataStart), pressAfter_(pressAfter), flag_(flag) {}

  bool ReadAt(std::uint64_t byteOffset, std::span<std::uint8_t> out) override {
    const bool ok = inner_->ReadAt(byteOffset, out);
    if (byteOffset >= dataStart_ && ++dataReads == pressAfter_) flag_ = true;
    return ok;
  }
  std::uint64_t SizeBytes() const override { return inner_->SizeBytes(); }
  std::string Name() const override { return inner_->Name(); }

  int dataReads = 0;

 private:
  std::unique_ptr<DiskSource> inner_;
  std::uint64_t dataStart_;
  int pressAfter_;
  std::atomic<bool>& flag_;
};

class InterruptTest : public ::testing::TestWithParam<Button> {};

std::string ButtonName(const ::testing::TestParamInfo<Button>& param) {
  return param.param == Button::stopSaving ? "StopSaving" : "SkipFile";
}

TEST_P(InterruptTest, APressBetweenReadsEndsTheCopyAndKeepsThePart) {
  // 24 consecutive clusters of 64 sectors are read 512 sectors at a time:
  // three reads.
  RecoveryBench bench(RecoveryGeometry(FsType::fat32, 64, 3072));
  std::vector<std::uint32_t> chain(24);
  std::iota(chain.begin(), chain.end(), 4u);
  bench.fat.LinkChain(chain);
  auto disk = std::make_unique<PressingDisk>(bench.image.Source(), bench.fat.ClusterSector(2) * kSectorSize, 2,
                                             FlagOf(bench.run, GetParam()));
  PressingDisk& pressing = *disk;
  bench.reader.Open(std::move(disk));
  auto context = bench.Context();
  const std::uint64_t size = 24 * bench.ClusterBytes();

  const ExtractionResult result = ExtractFatFile(context, bench.Request("file.bin", 4, size));

  // The part is no recovered file: it is kept under a name that says so.
  EXPECT_EQ(result.outcome, ExtractionOutcome::interrupted);
  EXPECT_TRUE(result.cutShort);
  EXPECT_EQ(pressing.dataReads, 2) << "no read after the press";
  const std::uint64_t twoReads = 2 * 512 * kSectorSize;
  EXPECT_EQ(result.bytesWritten, twoReads);
  EXPECT_EQ(result.keptAs, "file.bin.partial");
  EXPECT_FALSE(fs::exists(bench.OutPath() / "file.bin"));
  EXPECT_EQ(ReadHostFile(bench.OutPath() / "file.bin.partial"), bench.BytesAlong(chain, twoReads));
}

TEST_P(InterruptTest, APressDuringTheProgressLeavesAPrefixOfTheFile) {
  RecoveryBench bench(RecoveryGeometry(FsType::fat16, 1));
  std::vector<std::uint32_t> chain(2000);
  std::iota(chain.begin(), chain.end(), 10u);
  bench.fat.LinkChain(chain);
  bench.Open();
  testing::PressingSavingView view(FlagOf(bench.run, GetParam()), 3);
  bench.saving = &view;
  auto context = bench.Context();
  const std::uint64_t size = 2000 * kSectorSize - 1;

  const ExtractionResult result = ExtractFatFile(context, bench.Request("file.bin", 10, size));

  EXPECT_TRUE(result.cutShort);
  const std::vector<std::uint8_t> written = ReadHostFile(bench.OutPath() / "file.bin.partial");
  EXPECT_GT(written.size(), 0u);
  EXPECT_LT(written.size(), size);
  EXPECT_EQ(written.size(), result.bytesWritten);
  EXPECT_EQ(written, bench.BytesAlong(chain, written.size()));
}

TEST_P(InterruptTest, OnlySkipFileLetsTheNextFileThrough) {
  RecoveryBench bench(RecoveryGeometry(FsType::fat16, 1));
  bench.Open();
  FlagOf(bench.run, GetParam()) = true;
  auto context = bench.Context();

  const ExtractionResult result = ExtractFatFile(context, bench.Request("next.bin", 20, 700));

  if (GetParam() == Button::skipFile) {
    EXPECT_EQ(result.outcome, ExtractionOutcome::written);
    EXPECT_FALSE(result.cutShort) << "a Skip File left over from the last file does not cut this one";
    EXPECT_EQ(ReadHostFile(bench.OutPath() / "next.bin"), bench.BytesFrom(20, 2, 700));
  } else {
    EXPECT_EQ(result.outcome, ExtractionOutcome::notStarted);
    EXPECT_FALSE(fs::exists(bench.OutPath() / "next.bin"));
  }
}

INSTANTIATE_TEST_SUITE_P(Buttons, InterruptTest, ::testing::Values(Button::stopSaving, Button::skipFile),
                         ButtonName);

// --- Unreadable sectors ----------------------------------------------------

struct BadSectorCase {
  const char* name;
  std::uint32_t sectorsPerCluster;
  std::uint64_t size;
  std::vector<std::uint32_t> badSectors;  // counted from the file's first sector
};

const BadSectorCase kBadSectorCases[] = {
    {"OneSectorReads", 1, 3 * 512 - 10, {1}},
    {"OneSectorReadsLastSector", 4, 6 * 512 + 3, {6}},
    {"EightSectorReadsTwoInARow", 8, 8 * 512 + 4000, {3, 4}},
    {"SixteenSectorReadsApart", 16, 40 * 512, {5, 17, 39}},
};

class BadSectorTest : public ::testing::TestWithParam<BadSectorCase> {};

TEST_P(BadSectorTest, TheFileIsWrittenWholeWithZerosWhereSectorsCouldNotBeRead) {
  const BadSectorCase& bad = GetParam();
  RecoveryBench bench(RecoveryGeometry(FsType::fat16, bad.sectorsPerCluster, 2048 + 16 * bad.sectorsPerCluster));
  const std::uint32_t first = 3;
  const auto clusters = static_cast<std::uint32_t>((bad.size + bench.ClusterBytes() - 1) / bench.ClusterBytes());
  FaultyDiskSource& disk = bench.Open();  // no chain: consecutive clusters
  for (const std::uint32_t sector : bad.badSectors) disk.FailSector(bench.fat.ClusterSector(first) + sector);
  auto context = bench.Context();

  const ExtractionResult result = ExtractFatFile(context, bench.Request("file.bin", first, bad.size));

  EXPECT_EQ(result.outcome, ExtractionOutcome::written);
  EXPECT_FALSE(result.cutShort);
  EXPECT_EQ(result.unreadableSectors, bad.badSectors.size());
  std::vector<std::uint8_t> expected = bench.BytesFrom(first, clusters, bad.size);
  for (const std::uint32_t sector : bad.badSectors) {
    const std::size_t begin = std::size_t{sector} * kSectorSize;
    std::fill(expected.begin() + static_cast<std::ptrdiff_t>(begin),
              expected.begin() + static_cast<std::ptrdiff_t>(std::min(begin + kSectorSize, expected.size())), 0);
  }
  EXPECT_EQ(ReadHostFile(bench.OutPath() / "file.bin"), expected);
}

INSTANTIATE_TEST_SUITE_P(Table, BadSectorTest, ::testing::ValuesIn(kBadSectorCases),
                         CaseName<BadSectorCase>);

struct FlakyCase {
  std::uint32_t sectorsPerCluster;
  int failures;
  std::uint16_t retries;
  bool readsInTheEnd;
};

class FlakySectorTest : public ::testing::TestWithParam<FlakyCase> {};

// A sector is asked for once in the chunk's read and then up to `retries`
// times alone.
TEST_P(FlakySectorTest, ASectorThatReadsOnItsLastRetryIsKept) {
  const FlakyCase& flaky = GetParam();
  RecoveryBench bench(RecoveryGeometry(FsType::fat32, flaky.sectorsPerCluster, 2048 + 16 * flaky.sectorsPerCluster));
  bench.settings.badSectorRetries = flaky.retries;
  const std::uint64_t size = 2 * bench.ClusterBytes();
  bench.Open().FailSectorTimes(bench.fat.ClusterSector(5) + 1, flaky.failures);
  auto context = bench.Context();

  const ExtractionResult result = ExtractFatFile(context, bench.Request("file.bin", 5, size));

  std::vector<std::uint8_t> expected = bench.BytesFrom(5, 2, size);
  if (!flaky.readsInTheEnd) std::fill_n(expected.begin() + kSectorSize, kSectorSize, 0);
  EXPECT_EQ(result.unreadableSectors, flaky.readsInTheEnd ? 0u : 1u);
  EXPECT_EQ(ReadHostFile(bench.OutPath() / "file.bin"), expected);
}

INSTANTIATE_TEST_SUITE_P(Table, FlakySectorTest,
                         ::testing::Values(FlakyCase{1, 3, 3, true}, FlakyCase{1, 4, 3, false},
                                           FlakyCase{16, 1, 1, true}, FlakyCase{16, 2, 1, false},
                                           FlakyCase{16, 10, 10, true}, FlakyCase{16, 11, 10, false}));

TEST(BadSector, ASectorPastTheEndOfTheFileDoesNotMarkTheFile) {
  // Sixteen sectors are read at a time, so the read of a short file's only
  // chunk also covers sectors the file does not use.
  RecoveryBench bench(RecoveryGeometry(FsType::fat32, 16, 2304));
  bench.Open().FailSector(bench.fat.ClusterSector(6) + 10);
  auto context = bench.Context();

  const ExtractionResult result = ExtractFatFile(context, bench.Request("short.bin", 6, 1000));

  EXPECT_EQ(ReadHostFile(bench.OutPath() / "short.bin"), bench.BytesFrom(6, 1, 1000));
  EXPECT_EQ(result.unreadableSectors, 0u) << "every byte of the file was read; the bad sector lies past its end";
}

// --- The date on the new file ----------------------------------------------

struct StampCase {
  const char* name;
  std::uint16_t writeDate;
  std::uint16_t accessDate;
  std::optional<CivilDate> day;  // nothing: the file keeps the time it was written at
};

class FileDateTest : public ::testing::TestWithParam<StampCase> {};

TEST_P(FileDateTest, TheFileCarriesTheDayOfItsWriteDate) {
  const StampCase& stamp = GetParam();
  RecoveryBench bench(RecoveryGeometry(FsType::fat16, 1));
  bench.Open();
  auto context = bench.Context();
  ExtractionRequest request = bench.Request("dated.txt", 30, 100);
  request.fileTime = stamp.writeDate | (std::uint64_t{stamp.accessDate} << 16);
  const std::time_t before = std::time(nullptr);

  EXPECT_EQ(ExtractFatFile(context, request).outcome, ExtractionOutcome::written);

  struct stat info {};
  ASSERT_EQ(::stat((bench.OutPath() / "dated.txt").c_str(), &info), 0);
  for (const std::time_t time : {info.st_mtime, info.st_atime}) {
    std::tm utc{};
    ::gmtime_r(&time, &utc);
    if (stamp.day) {
      EXPECT_EQ(utc.tm_year + 1900, stamp.day->year);
      EXPECT_EQ(utc.tm_mon + 1, stamp.day->month);
      EXPECT_EQ(utc.tm_mday, stamp.day->day);
    } else {
      EXPECT_GE(time, before - 1) << "a date that names no day leaves the file's own time";
    }
  }
  EXPECT_EQ(ReadHostFile(bench.OutPath() / "dated.txt"), bench.BytesFrom(30, 1, 100));
}

INSTANTIATE_TEST_SUITE_P(
    Table, FileDateTest,
    ::testing::Values(StampCase{"WriteDateNotAccessDate", DosDate(2019, 3, 7), DosDate(2021, 1, 2), CivilDate{2019, 3, 7}},
                      StampCase{"LeapDay", DosDate(2024, 2, 29), 0, CivilDate{2024, 2, 29}},
                      StampCase{"FirstDayFatKnows", DosDate(1980, 1, 1), 0, CivilDate{1980, 1, 1}},
                      StampCase{"NoDate", 0, DosDate(2021, 1, 2), std::nullopt},
                      StampCase{"MonthThirteen", static_cast<std::uint16_t>((30 << 9) | (13 << 5) | 1), 0,
                                std::nullopt}),
    CaseName<StampCase>);

}  // namespace
}  // namespace salvex
