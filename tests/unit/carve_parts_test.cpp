// The parts of the carve pass: the runs it reads, the claims of carved
// files, the first-bytes table, and the names files get.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "carve/carve_area.h"
#include "carve/carved_file.h"
#include "carve/claimed_ranges.h"
#include "carve/content_name.h"
#include "carve/first_bytes_table.h"
#include "content/content_source.h"
#include "support/format_writers.h"
#include "support/jpeg_writer.h"

namespace salvex {
namespace {

using testing::FileBytes;

CarveArea Clusters(std::vector<std::uint64_t> live, bool freeOnly) {
  CarveArea area;
  area.first = 0;
  area.blockBase = 8192;  // two "reserved" sectors' worth of blocks before the clusters
  area.blockBytes = 4096;
  area.end = 8192 + 10 * 4096;
  area.live = BlockBits(10);
  for (const std::uint64_t block : live) area.live.Set(block);
  area.allocationKnown = true;
  area.freeOnly = freeOnly;
  return area;
}

struct RunCase {
  const char* name;
  std::vector<std::uint64_t> live;
  bool freeOnly;
  std::vector<ByteRange> runs;  // what the pass reads, in order
};

const RunCase kRuns[] = {
    {"AllFree", {}, true, {{8192, 8192 + 40960}}},
    {"LiveInTheMiddle", {3, 4}, true, {{8192, 8192 + 12288}, {8192 + 20480, 8192 + 40960}}},
    {"LiveAtBothEnds", {0, 9}, true, {{8192 + 4096, 8192 + 36864}}},
    {"EverySectorRead", {3, 4}, false, {{0, 8192 + 40960}}},
    {"AllLive", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, true, {}},
};

class CarveAreaTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(CarveAreaTest, ReadsTheRunsItsAllocationLeavesFree) {
  const CarveArea area = Clusters(GetParam().live, GetParam().freeOnly);
  std::vector<ByteRange> runs;
  for (ByteRange run = area.OpenRunFrom(area.first); run.start < area.end; run = area.OpenRunFrom(run.end)) {
    runs.push_back(run);
  }
  EXPECT_EQ(runs, GetParam().runs);
  std::uint64_t total = 0;
  for (const ByteRange& run : runs) total += run.Size();
  EXPECT_EQ(area.OpenBytes(), total);
}

INSTANTIATE_TEST_SUITE_P(Areas, CarveAreaTest, ::testing::ValuesIn(kRuns),
                         [](const ::testing::TestParamInfo<RunCase>& param) { return std::string(param.param.name); });

TEST(CarveArea, AFileIsCutWhereLiveClustersBeginAndBlocksAreClusters) {
  const CarveArea area = Clusters({3, 4}, false);
  EXPECT_EQ(area.SameStateEnd(8192 + 100), 8192u + 12288);  // free up to cluster 3
  EXPECT_EQ(area.SameStateEnd(8192 + 12288), 8192u + 20480);  // live up to cluster 5
  EXPECT_EQ(area.SameStateEnd(512), 8192u);  // the sectors before the clusters end at them
  EXPECT_TRUE(area.IsLive(8192 + 12288 + 7));
  EXPECT_FALSE(area.IsLive(8192 + 20480));
  EXPECT_EQ(area.BlockStart(8192 + 4096 + 513), 8192u + 4096);
  EXPECT_EQ(area.BlockStart(1000), 512u);
  EXPECT_TRUE(area.IsBlockStart(8192 + 8192));
  EXPECT_FALSE(area.IsBlockStart(8192 + 512));
}

TEST(ClaimedRanges, AFileFoundInsideAnotherSplitsItsClaim) {
  ClaimedRanges claims;
  claims.Add({1000, 9000}, true);
  claims.Add({3000, 4000}, false);
  ASSERT_TRUE(claims.At(2999));
  EXPECT_TRUE(claims.At(2999)->holdsFiles);
  EXPECT_EQ(claims.At(3500)->range, (ByteRange{3000, 4000}));
  EXPECT_FALSE(claims.At(3500)->holdsFiles);
  EXPECT_EQ(claims.At(4000)->range, (ByteRange{4000, 9000}));
  EXPECT_FALSE(claims.At(999));
  EXPECT_FALSE(claims.At(9000));
  EXPECT_TRUE(claims.AnyIn({500, 1001}));
  EXPECT_FALSE(claims.AnyIn({9000, 10000}));
  claims.ForgetBefore(4000);
  EXPECT_EQ(claims.Size(), 1u);
  EXPECT_TRUE(claims.At(5000));
}

struct StartCase {
  const char* name;
  FileBytes start;
  std::vector<const char*> families;  // those the table names, in its order
};

FileBytes Bytes(std::string_view text) { return FileBytes(text.begin(), text.end()); }

const StartCase kStarts[] = {
    {"Jpeg", {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x10}, {"jpg"}},
    {"Mp4ByItsSecondWord", Bytes(std::string("\0\0\0\x18" "ftypisom", 12)), {"mp4"}},
    {"RiffIsAviOrWavOrText", Bytes(std::string("RIFF\x10\0\0\0WAVE", 12)), {"avi", "wav", "txt"}},
    {"MpegFrame", {0xFF, 0xFB, 0x90, 0x64}, {"mp3"}},
    {"Text", Bytes("Dear all, the minutes"), {"txt"}},
    {"PdfIsTextToo", Bytes("%PDF-1.7\n"), {"pdf", "txt"}},
    {"Zeros", FileBytes(16, 0), {}},
};

class FirstBytesTableTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(FirstBytesTableTest, NamesTheFamiliesThatCanStartThere) {
  const FirstBytesTable table(kAllFamilies);
  const FamilySet found = table.Candidates(GetParam().start);
  std::vector<std::string> names;
  for (const CarveFormat& format : CarveFormats()) {
    if (found & FamilyBit(format)) names.emplace_back(format.family);
  }
  EXPECT_EQ(names, std::vector<std::string>(GetParam().families.begin(), GetParam().families.end()));
  // A table of no family names none.
  EXPECT_EQ(FirstBytesTable(0).Candidates(GetParam().start), 0u);
}

INSTANTIATE_TEST_SUITE_P(Starts, FirstBytesTableTest, ::testing::ValuesIn(kStarts),
                         [](const ::testing::TestParamInfo<StartCase>& param) { return std::string(param.param.name); });

// A JPEG with an EXIF segment (big-endian TIFF) holding the camera model
// and the time of taking, inserted after its SOI.
FileBytes WithExif(std::string_view model, std::string_view taken) {
  testing::ByteWriter tiff;
  tiff.Text("MM").Be(42, 2).Be(8, 4);
  // IFD0: Model and the EXIF IFD pointer; then the EXIF IFD; then the texts.
  const std::uint32_t ifd0 = 8, exif = ifd0 + 2 + 2 * 12 + 4, texts = exif + 2 + 12 + 4;
  tiff.Be(2, 2);
  tiff.Be(0x0110, 2).Be(2, 2).Be(model.size() + 1, 4).Be(texts, 4);
  tiff.Be(0x8769, 2).Be(4, 2).Be(1, 4).Be(exif, 4);
  tiff.Be(0, 4);
  tiff.Be(1, 2).Be(0x9003, 2).Be(2, 2).Be(taken.size() + 1, 4).Be(texts + model.size() + 1, 4).Be(0, 4);
  tiff.Text(model).U8(0).Text(taken).U8(0);
  testing::ByteWriter app1;
  app1.U8(0xFF).U8(0xE1).Be(2 + 6 + tiff.Size(), 2).Text(std::string_view("Exif\0\0", 6)).Append(tiff.bytes);
  FileBytes jpeg = testing::WriteJpeg({32, 32, false, 0, 80, 1});
  jpeg.insert(jpeg.begin() + 2, app1.bytes.begin(), app1.bytes.end());
  return jpeg;
}

struct NameCase {
  const char* name;
  FileBytes file;
  std::string contentName;
};

const NameCase kNames[] = {
    {"ModelAndTime", WithExif("Canon EOS 80D", "2021:05:03 14:22:01"), "2021-05-03 14-22-01 Canon EOS 80D"},
    {"SeparatorsInTheModel", WithExif("Cam/Era: X*", "2020:01:02 03:04:05"), "2020-01-02 03-04-05 Cam Era X"},
    {"ClockNeverSet", WithExif("Canon EOS 80D", "0000:00:00 00:00:00"), ""},
    {"NoExif", testing::WriteJpeg({32, 32, false, 0, 80, 2}), ""},
};

class ContentNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ContentNameTest, APhotoIsNamedByItsTimeAndCamera) {
  SpanSource source(GetParam().file);
  EXPECT_EQ(ContentNameOf(*CarveFormatNamed("jpg"), source), GetParam().contentName);
  // Other families take no name from bytes like these.
  EXPECT_EQ(ContentNameOf(*CarveFormatNamed("png"), source), "");
}

INSTANTIATE_TEST_SUITE_P(Names, ContentNameTest, ::testing::ValuesIn(kNames),
                         [](const ::testing::TestParamInfo<NameCase>& param) { return std::string(param.param.name); });

TEST(CarvedFilePath, ByEntryByContentOrBySector) {
  CarvedFile file;
  file.extension = "jpg";
  file.pieces = {{512 * 12345, 512 * 12345 + 1000}};
  EXPECT_EQ(CarvedFilePath(file), "jpg/f0012345.jpg");
  file.pieces = {{512 * 12345 + 1572 % 512, 512 * 12346}};
  EXPECT_EQ(CarvedFilePath(file), "jpg/f0012345-36.jpg");
  file.contentName = "2021-05-03 14-22-01 Canon EOS 80D";
  EXPECT_EQ(CarvedFilePath(file), "jpg/2021-05-03 14-22-01 Canon EOS 80D.jpg");
  const ListedFile entry{0, 1000, "DCIM/100CANON/xMG_0001.JPG", 0, 0, true};
  file.entry = &entry;
  EXPECT_EQ(CarvedFilePath(file), "DCIM/100CANON/xMG_0001.JPG");
}

}  // namespace
}  // namespace salvex
