// What --snapshot may be given instead of a snapshot file: a folder, a FIFO
// no one writes to, a device that never ends, a file too large to be one.
// Every command that loads a snapshot must refuse each at once, with one
// line and exit status 1: no abort, no wait, no memory filled.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/scan_results.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

TEST(SnapshotInput, WhatIsNotASnapshotFileIsRefusedAtOnce) {
  TempDir dir;
  const fs::path image = dir / "blank.img";
  std::ofstream(image, std::ios::binary) << std::string(1 << 20, '\0');
  const fs::path folder = dir / "folder.RSNP";
  fs::create_directory(folder);
  const fs::path fifo = dir / "fifo.RSNP";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  const fs::path huge = dir / "huge.RSNP";
  std::ofstream(huge).close();
  fs::resize_file(huge, (std::uint64_t{1} << 30) + 1);  // sparse: no disk space taken
  const struct {
    fs::path path;
    std::string reason;
  } inputs[] = {
      {folder, " is a folder, not a file"},
      {fifo, " is not a regular file"},
      {"/dev/zero", " is not a regular file"},
      {huge, " is too large: 1073741825 bytes, more than 1073741824"},
  };
  const std::string commands[] = {"find IMAGE '*'", "scan IMAGE", "recover IMAGE --all --out OUT",
                                  "deep-scan IMAGE --fs fat16"};
  for (const auto& input : inputs) {
    for (std::string command : commands) {
      SCOPED_TRACE(command + " --snapshot " + input.path.string());
      command = Substitute(Substitute(command, "IMAGE", ShellQuote(image.string())), "OUT",
                           ShellQuote((dir / "out").string()));
      // `timeout` ends a run that waits, so a hang fails the test instead of
      // holding the suite.
      const SalvexRun run = RunSalvex("timeout", "20 " + ShellQuote(SALVEX_BINARY) + " " + command +
                                                     " --snapshot " + ShellQuote(input.path.string()),
                                      dir.Path());

      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(run.err, "salvex: error: " + input.path.string() + input.reason + "\n");
    }
  }
  EXPECT_FALSE(fs::exists(dir / "out")) << "nothing is created for a snapshot that cannot be loaded";
}

}  // namespace
}  // namespace salvex::testing
