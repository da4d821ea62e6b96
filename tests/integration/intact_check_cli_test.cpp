// `salvex scan --json --check` on a volume mtools wrote: a live PDF holds
// together, a deleted one whose clusters a later file took does not, and a
// text file has no verdict.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "support/json_value.h"
#include "support/scan_results.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Pdf(int pages) {
  std::string pdf = "%PDF-1.4\n";
  for (int page = 0; page < pages; ++page) pdf += std::to_string(page) + " 0 obj\n<< /Type /Page >>\nendobj\n";
  return pdf + "trailer\n<< >>\n%%EOF\n";
}

TEST(CliIntactCheck, DeletedFilesWhoseClustersWereTakenFailTheirCheck) {
  SALVEX_REQUIRE_TOOLS("mkfs.fat", "mmd", "mcopy", "mdel");
  TempDir dir;
  const std::string image = ShellQuote((dir / "card.img").string());
  WriteFile(dir / "kept.pdf", Pdf(400));
  WriteFile(dir / "gone.pdf", Pdf(300));
  WriteFile(dir / "later.txt", std::string(9000, 'x'));
  WriteFile(dir / "notes.txt", "nothing to check\n");
  const std::string mtools = "MTOOLS_SKIP_CHECK=1 ";
  const auto run = [&](const std::string& command) {
    const CommandResult result = RunCommand(command);
    ASSERT_EQ(result.status, 0) << command << "\n" << result.output;
  };
  run("truncate -s 16M " + image + " && mkfs.fat -F 16 -s 4 " + image + " >/dev/null");
  // The deleted file's entry is in a folder, so that the later file takes
  // its clusters but not its entry.
  run(mtools + "mmd -i " + image + " ::/old");
  run(mtools + "mcopy -i " + image + " " + ShellQuote((dir / "gone.pdf").string()) + " ::/old/");
  for (const char* name : {"kept.pdf", "notes.txt"}) {
    run(mtools + "mcopy -i " + image + " " + ShellQuote((dir / name).string()) + " ::/");
  }
  run(mtools + "mdel -i " + image + " ::/old/gone.pdf");
  run(mtools + "mcopy -i " + image + " " + ShellQuote((dir / "later.txt").string()) + " ::/");

  const SalvexRun scan = RunSalvex(SALVEX_BINARY, "scan " + image + " --json --check", dir.Path());

  ASSERT_EQ(scan.status, 0) << scan.err;
  std::map<std::string, std::string> verdicts;
  for (const JsonValue& item : ParseJson(scan.out).items) {
    if (item.At("kind").Str() != "file") continue;
    const JsonValue& intact = item.At("intact");
    verdicts[item.At("name").Str()] = intact.IsNull() ? "null" : intact.Bool() ? "true" : "false";
  }
  const std::map<std::string, std::string> expected = {
      {"kept.pdf", "true"}, {"xone.pdf", "false"}, {"notes.txt", "null"}, {"later.txt", "null"}};
  EXPECT_EQ(verdicts, expected);
}

}  // namespace
}  // namespace salvex::testing
