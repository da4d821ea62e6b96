#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "snapshot/advance_snapshot.h"
#include "snapshot/snapshot_bytes.h"
#include "snapshot/tree_snapshot.h"

namespace salvex {
namespace {

TEST(SnapshotPath, UpperCasesTheFileNameOnlyAndAddsTheExtensionOnce) {
  struct Case {
    const char* chosen;
    const char* extension;
    const char* path;
  };
  const std::vector<Case> cases = {
      {"scan", kTreeSnapshotExtension, "SCAN.RSNP"},
      {"x.rsnp", kTreeSnapshotExtension, "X.RSNP"},
      {"X.RSNP", kTreeSnapshotExtension, "X.RSNP"},
      {"scan.rs2", kTreeSnapshotExtension, "SCAN.RS2.RSNP"},
      // Folders keep their case: on Linux "Saved" and "SAVED" are two folders.
      {"/home/ann/Saved/scan", kTreeSnapshotExtension, "/home/ann/Saved/SCAN.RSNP"},
      {"rel/dir.v2/deep", kAdvanceSnapshotExtension, "rel/dir.v2/DEEP.RS2"},
      {"d", kAdvanceSnapshotExtension, "D.RS2"},
      {"d.rs2", kAdvanceSnapshotExtension, "D.RS2"},
      {"crème", kAdvanceSnapshotExtension, "CRÈME.RS2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.chosen) + " " + c.extension);
    EXPECT_EQ(SnapshotPath(c.chosen, c.extension), c.path);
  }
}

}  // namespace
}  // namespace salvex
