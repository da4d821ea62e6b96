#include "common/le_bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>

namespace salvex {
namespace {

constexpr std::array<std::uint8_t, 8> kBytes{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x88};

TEST(LeBytes, ReadsLittleEndianValues) {
  EXPECT_EQ(u8(kBytes, 7), 0x88);
  EXPECT_EQ(u16le(kBytes, 0), 0x0201);
  EXPECT_EQ(u32le(kBytes, 4), 0x88070605u);
  EXPECT_EQ(u64le(kBytes, 0), 0x8807060504030201ull);
  EXPECT_EQ(s8(kBytes, 7), -120);
  EXPECT_EQ(s32le(kBytes, 4), static_cast<std::int32_t>(0x88070605u));
}

TEST(LeBytes, ReadsPastTheEndYieldZero) {
  EXPECT_EQ(u8(kBytes, 8), 0);
  EXPECT_EQ(u16le(kBytes, 7), 0);
  EXPECT_EQ(u32le(kBytes, 5), 0u);
  EXPECT_EQ(u64le(kBytes, 1), 0u);
  EXPECT_EQ(u32le(kBytes, std::numeric_limits<std::size_t>::max() - 1), 0u);
}

TEST(LeBytes, FitsAndSliceAreOverflowSafe) {
  EXPECT_TRUE(Fits(kBytes, 0, 8));
  EXPECT_TRUE(Fits(kBytes, 8, 0));
  EXPECT_FALSE(Fits(kBytes, 9, 0));
  EXPECT_FALSE(Fits(kBytes, 4, std::numeric_limits<std::size_t>::max()));
  EXPECT_EQ(Slice(kBytes, 6, 2).size(), 2u);
  EXPECT_TRUE(Slice(kBytes, 6, 3).empty());
}

TEST(LeBytes, HasTextComparesWithoutTerminator) {
  constexpr std::array<std::uint8_t, 5> text{'N', 'T', 'F', 'S', ' '};
  EXPECT_TRUE(HasText(text, 0, "NTFS"));
  EXPECT_FALSE(HasText(text, 1, "NTFS"));
  EXPECT_FALSE(HasText(text, 2, "FS  "));  // would pass the end
}

}  // namespace
}  // namespace salvex
