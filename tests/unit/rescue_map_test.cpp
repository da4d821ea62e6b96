#include "imaging/rescue_map.h"

#include <gtest/gtest.h>

#include <vector>

#include "imaging/map_text.h"

namespace salvex {
namespace {

using S = BlockStatus;

struct SetStep {
  std::uint64_t pos;
  std::uint64_t size;
  BlockStatus status;
};

struct MapCase {
  const char* name;
  std::uint64_t extent;
  std::vector<SetStep> steps;
  std::vector<MapBlock> expected;
};

class RescueMapTest : public ::testing::TestWithParam<MapCase> {};

// Every change leaves blocks that follow each other, neighbours of
// different statuses, and totals that add up to what the blocks say.
TEST_P(RescueMapTest, SetKeepsBlocksContiguousMergedAndCounted) {
  const MapCase& c = GetParam();
  RescueMap map(c.extent);
  for (const SetStep& step : c.steps) map.Set(step.pos, step.size, step.status);
  EXPECT_EQ(map.Blocks(), c.expected);
  MapTotals counted;
  for (const MapBlock& block : c.expected) {
    counted.bytes[MapTotals::Index(block.status)] += block.size;
    ++counted.areas[MapTotals::Index(block.status)];
  }
  for (const S status : {S::nonTried, S::nonTrimmed, S::nonScraped, S::badSector, S::finished}) {
    EXPECT_EQ(map.Totals().Bytes(status), counted.Bytes(status)) << static_cast<char>(status);
    EXPECT_EQ(map.Totals().Areas(status), counted.Areas(status)) << static_cast<char>(status);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Changes, RescueMapTest,
    ::testing::Values(
        MapCase{"Fresh", 4096, {}, {{0, 4096, S::nonTried}}},
        MapCase{"Empty", 0, {{0, 10, S::finished}}, {}},
        MapCase{"Middle", 4096, {{1024, 512, S::badSector}},
                {{0, 1024, S::nonTried}, {1024, 512, S::badSector}, {1536, 2560, S::nonTried}}},
        MapCase{"MergesBothSides", 4096,
                {{0, 1024, S::finished}, {2048, 2048, S::finished}, {1024, 1024, S::finished}},
                {{0, 4096, S::finished}}},
        MapCase{"OverSeveral", 4096,
                {{0, 512, S::finished}, {1024, 512, S::badSector}, {2048, 512, S::nonScraped},
                 {256, 2560, S::nonTrimmed}},
                {{0, 256, S::finished}, {256, 2560, S::nonTrimmed}, {2816, 1280, S::nonTried}}},
        MapCase{"ClippedToExtent", 4096, {{3584, 100000, S::finished}, {5000, 10, S::badSector}},
                {{0, 3584, S::nonTried}, {3584, 512, S::finished}}},
        MapCase{"ZeroSizeIgnored", 1024, {{512, 0, S::badSector}}, {{0, 1024, S::nonTried}}},
        MapCase{"SameStatusInside", 2048, {{0, 2048, S::finished}, {512, 512, S::finished}},
                {{0, 2048, S::finished}}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(RescueMapQueries, UnfinishedBytesAndNextBlock) {
  RescueMap map(8192);
  map.Set(0, 4096, S::finished);
  map.Set(5120, 1024, S::finished);
  // Non-tried 4096..5119 and 6144..8191; past the extent counts as unread.
  EXPECT_EQ(map.UnfinishedBytesIn(0, 4096), 0u);
  EXPECT_EQ(map.UnfinishedBytesIn(3584, 1024), 512u);
  EXPECT_EQ(map.UnfinishedBytesIn(4000, 2500), 1024u + 356u);
  EXPECT_EQ(map.UnfinishedBytesIn(8000, 400), 400u);
  EXPECT_EQ(map.UnfinishedBytesIn(UINT64_MAX - 10, 100), 10u);
  MapBlock block;
  ASSERT_TRUE(map.NextWithStatus(4500, S::nonTried, block));
  EXPECT_EQ(block, (MapBlock{4500, 620, S::nonTried}));
  ASSERT_TRUE(map.NextWithStatus(4500, S::finished, block));
  EXPECT_EQ(block, (MapBlock{5120, 1024, S::finished}));
  EXPECT_FALSE(map.NextWithStatus(6144, S::finished, block));
  EXPECT_FALSE(map.AllTried());
  map.Set(0, 8192, S::badSector);
  EXPECT_TRUE(map.AllTried());
}

struct ParseCase {
  const char* name;
  const char* text;
  bool accepted;
  std::vector<MapBlock> blocks;
};

class MapTextParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(MapTextParseTest, ReadsDdrescueMapsAndNamesTheBadLine) {
  const ParseCase& c = GetParam();
  const ParsedMap parsed = ParseRescueMap(c.text);
  ASSERT_EQ(parsed.map.has_value(), c.accepted) << parsed.error;
  if (c.accepted) {
    EXPECT_EQ(parsed.map->Blocks(), c.blocks);
  } else {
    EXPECT_FALSE(parsed.error.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MapTextParseTest,
    ::testing::Values(
        ParseCase{"Ddrescue",
                  "# Mapfile. Created by GNU ddrescue version 1.27\n# current_pos  current_status  current_pass\n"
                  "0x00111200     +               1\n#      pos        size  status\n"
                  "0x00000000  0x00100000  +\n0x00100000  0x00001400  -\n0x00101400  0x00010000  *\n",
                  true,
                  {{0, 0x100000, S::finished}, {0x100000, 0x1400, S::badSector}, {0x101400, 0x10000, S::nonTrimmed}}},
        ParseCase{"OldStyleNoPassCrlfDecimal", "0 ?\r\n0 1024 +\r\n1024 512 /\r\n", true,
                  {{0, 1024, S::finished}, {1024, 512, S::nonScraped}}},
        ParseCase{"Octal", "0 ?\n0 02000 +\n", true, {{0, 1024, S::finished}}},
        ParseCase{"StatusOnly", "0x0 + 1\n", true, {}},
        ParseCase{"StartsLate", "0 ?\n0x400 0x200 +\n", true, {{0, 1024, S::nonTried}, {1024, 512, S::finished}}},
        ParseCase{"NoStatusLine", "# only comments\n", false, {}},
        ParseCase{"Gap", "0 ?\n0 512 +\n1024 512 +\n", false, {}},
        ParseCase{"Overlap", "0 ?\n0 1024 +\n512 512 -\n", false, {}},
        ParseCase{"ZeroSize", "0 ?\n0 0 +\n", false, {}},
        ParseCase{"UnknownStatus", "0 ?\n0 512 x\n", false, {}},
        ParseCase{"UnknownCurrentStatus", "0 x\n", false, {}},
        ParseCase{"FourFields", "0 ?\n0 512 + extra\n", false, {}},
        ParseCase{"NotANumber", "0 ?\n0x 512 +\n", false, {}},
        ParseCase{"Negative", "0 ?\n-512 512 +\n", false, {}},
        ParseCase{"PastTwoToThe63", "0 ?\n0x7FFFFFFFFFFFFE00 0x400 +\n", false, {}},
        ParseCase{"Overflows64Bits", "0 ?\n0x1FFFFFFFFFFFFFFFF 1 +\n", false, {}},
        ParseCase{"BadPass", "0 ? 0\n", false, {}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(MapTextFormat, WrittenMapReadsBackAsItWas) {
  RescueMap map(1 << 20);
  map.Set(0, 4096, S::finished);
  map.Set(4096, 512, S::badSector);
  map.Set(8192, 1024, S::nonScraped);
  map.currentPos = 8192;
  map.phase = RescuePhase::scraping;
  const std::string text = FormatRescueMap(map, {"test 1", "salvex image a\nb", "start", "now"});
  // A name with a line break must not break the comment.
  EXPECT_NE(text.find("# Command line: salvex image a?b\n"), std::string::npos) << text;
  const ParsedMap parsed = ParseRescueMap(text);
  ASSERT_TRUE(parsed.map) << parsed.error;
  EXPECT_EQ(parsed.map->Blocks(), map.Blocks());
  EXPECT_EQ(parsed.map->currentPos, 8192u);
  EXPECT_EQ(parsed.map->phase, RescuePhase::scraping);
}

}  // namespace
}  // namespace salvex
