// Where the bytes of deleted files whose chains are cleared are taken from,
// worked out for all of them together as the first-free allocator would
// have laid them out.

#include "fat/deleted_file_layout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace salvex {
namespace {

class SetOccupancy final : public ClusterOccupancy {
 public:
  explicit SetOccupancy(std::set<std::uint64_t> taken) : taken_(std::move(taken)) {}
  std::uint64_t CountTaken(std::uint64_t first, std::uint64_t count) const override {
    ++questions;
    std::uint64_t n = 0;
    for (auto it = taken_.lower_bound(first); it != taken_.end() && *it < first + count; ++it) ++n;
    return n;
  }
  mutable std::uint64_t questions = 0;

 private:
  std::set<std::uint64_t> taken_;
};

// Clusters one by one, for a readable table.
std::vector<std::uint32_t> Clusters(const DeletedFileLayout& layout) {
  std::vector<std::uint32_t> clusters;
  for (const ClusterRun& run : layout.runs) {
    for (std::uint32_t i = 0; i < run.count; ++i) clusters.push_back(run.first + i);
  }
  return clusters;
}

struct LayoutCase {
  std::string name;
  std::vector<DeletedFileStart> files;
  std::set<std::uint64_t> taken;
  std::vector<std::vector<std::uint32_t>> expected;  // empty: read as before
};

class DeletedFileLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(DeletedFileLayoutTest, FollowsTheAllocator) {
  const LayoutCase& test = GetParam();
  const SetOccupancy taken(test.taken);
  const std::vector<DeletedFileLayout> layouts = InferDeletedFileLayouts(test.files, taken, 40);
  ASSERT_EQ(layouts.size(), test.expected.size());
  for (std::size_t i = 0; i < layouts.size(); ++i) EXPECT_EQ(Clusters(layouts[i]), test.expected[i]) << "file " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeletedFileLayoutTest,
    ::testing::Values(
        // A1 B1 A2 B2 B3, then C written whole, then B4 after C: a greedy
        // choice per file would give B the second cluster of C.
        LayoutCase{"TurnsThenAFileWrittenWhole",
                   {{10, 2}, {11, 4}, {15, 3}},
                   {},
                   {{10, 12}, {11, 13, 14, 18}, {15, 16, 17}}},
        LayoutCase{"TwoFilesInTurns", {{10, 3}, {11, 3}, {16, 1}}, {}, {{10, 12, 14}, {11, 13, 15}, {16}}},
        LayoutCase{"APausedFileGoesOnAfterOneWrittenWhole", {{10, 3}, {12, 2}}, {}, {{10, 11, 14}, {12, 13}}},
        LayoutCase{"FilesOneAfterAnother", {{10, 3}, {13, 2}, {20, 1}}, {}, {{10, 11, 12}, {13, 14}, {20}}},
        LayoutCase{"AllocatedClustersAreSkipped", {{10, 3}, {20, 2}}, {11, 21, 22}, {{10, 12, 13}, {20, 23}}},
        LayoutCase{"TurnsSkipAllocatedClusters", {{10, 2}, {12, 2}}, {11, 13}, {{10, 14}, {12, 15}}},
        LayoutCase{"CutShortByTheVolumesEnd", {{10, 2}, {37, 5}}, {}, {{10, 11}, {}}},
        // Written an hour apart, B was there first: A goes round it.
        LayoutCase{"FilesWrittenApartDoNotTakeTurns",
                   {{10, 3, 0}, {11, 3, 3600}, {16, 1, 0}},
                   {},
                   {{10, 14, 15}, {11, 12, 13}, {16}}},
        // OLD (3-5) deleted, then A written over 2-7 and deleted too: A's
        // free run holds OLD whole, so A takes it and OLD gets no layout.
        LayoutCase{"AFreeRunHoldingLaterFilesWholeIsTakenWhole",
                   {{2, 6}, {3, 3}, {20, 1}},
                   {},
                   {{2, 3, 4, 5, 6, 7}, {}, {20}}}),
    [](const ::testing::TestParamInfo<LayoutCase>& param) { return param.param.name; });

// 100,000 files in pairs written in turns: the questions asked of the FAT
// grow with the files, not with their square.
TEST(DeletedFileLayout, StaysLinearOnManyFiles) {
  constexpr std::uint32_t kPairs = 50'000;
  std::vector<DeletedFileStart> files;
  for (std::uint32_t pair = 0; pair < kPairs; ++pair) {
    files.push_back({2 + 6 * pair, 3});
    files.push_back({3 + 6 * pair, 3});
  }
  const SetOccupancy taken({});
  const std::vector<DeletedFileLayout> layouts = InferDeletedFileLayouts(files, taken, 2 + 6 * kPairs);
  EXPECT_EQ(Clusters(layouts[2 * kPairs - 1]),
            (std::vector<std::uint32_t>{3 + 6 * (kPairs - 1), 5 + 6 * (kPairs - 1), 7 + 6 * (kPairs - 1)}));
  EXPECT_LT(taken.questions, 20u * files.size());
}

}  // namespace
}  // namespace salvex
