#include <gtest/gtest.h>

#include "wizard/recovery_texts.h"

namespace salvex::wizard {
namespace {

// The summary box says how many written files probably hold other files'
// bytes, and only when there are some.
TEST(RecoverySummaryText, CountsOverwrittenFilesOnlyWhenThereAreSome) {
  const std::string overwrittenLine = "written, but its clusters are now used by other files: ";
  for (const std::uint32_t overwritten : {0u, 2u}) {
    SCOPED_TRACE(overwritten);
    RecoverySummary summary;
    summary.filesWritten = 5;
    summary.writtenOverwritten = overwritten;
    summary.notRecoverable = {"a.txt: its first cluster is lost"};
    if (overwritten > 0) summary.conflicting = {"/tmp/out/b.bin: also claimed by c.bin", "/tmp/out/c.bin: also claimed by b.bin"};
    const SummaryText shown = RecoverySummaryText(summary, "/tmp/out");
    EXPECT_EQ(shown.text.find("Written from clusters other deleted files claim too: 2") != std::string::npos,
              overwritten == 2) << shown.text;
    EXPECT_EQ(shown.details.find("/tmp/out/b.bin: also claimed by c.bin") != std::string::npos, overwritten == 2);
    EXPECT_EQ(shown.text.find(overwrittenLine + "2\n") != std::string::npos, overwritten == 2) << shown.text;
    EXPECT_EQ(shown.text.find(overwrittenLine + "0"), std::string::npos);
    EXPECT_NE(shown.text.find("without a known cluster): 1"), std::string::npos) << shown.text;
    EXPECT_NE(shown.details.find("a.txt: its first cluster is lost"), std::string::npos) << shown.details;
  }
}

// The saving dialog's line for the whole run: the bytes' share when there
// are bytes, the files' otherwise; the time left once a second has passed.
TEST(SavingProgressText, SaysFilesBytesShareAndTimeLeft) {
  const struct {
    std::uint32_t files, filesTotal;
    std::uint64_t bytes, bytesTotal;
    double seconds;
    const char* text;
  } cases[] = {
      {0, 200000, 0, 0, 0, "0 of 200000 files, 0 bytes of 0 bytes, 0%"},
      {50000, 200000, 0, 0, 10, "50000 of 200000 files, 0 bytes of 0 bytes, 25%, about 31 s left"},
      {3, 4, 1 << 20, 4 << 20, 0.5, "3 of 4 files, 1.0 MB of 4.0 MB, 25%"},
      {3, 4, 1 << 20, 4 << 20, 120, "3 of 4 files, 1.0 MB of 4.0 MB, 25%, about 7 min left"},
      {9, 10, 1, 1000, 10, "9 of 10 files, 1 byte of 1000 bytes, 0%, about 2 h 46 min left"},
      {4, 4, 4 << 20, 4 << 20, 30, "4 of 4 files, 4.0 MB of 4.0 MB, 100%"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SavingProgressText(c.files, c.filesTotal, c.bytes, c.bytesTotal, c.seconds), c.text);
  }
}

}  // namespace
}  // namespace salvex::wizard
