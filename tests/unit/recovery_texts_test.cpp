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

}  // namespace
}  // namespace salvex::wizard
