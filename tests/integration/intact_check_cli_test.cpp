// `salvex scan --json --check` on a volume mtools wrote: a live PDF holds
// together, a deleted one whose clusters a later file took does not, and a
// text file has no verdict. Deleted JPEGs whose clusters other files took
// are never intact: one whose second cluster a text file holds, and one
// whose clusters hold another whole JPEG now.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/jpeg_writer.h"
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

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

TEST(CliIntactCheck, DeletedJpegsWhoseClustersOtherFilesTookAreNeverIntact) {
  SALVEX_REQUIRE_TOOLS("mkfs.fat", "mmd", "mcopy", "mdel");
  TempDir dir;
  const std::string image = ShellQuote((dir / "card.img").string());
  const std::vector<std::uint8_t> holiday = WriteJpeg({480, 360, true, 0, 90, 1});
  const std::vector<std::uint8_t> bigger = WriteJpeg({480, 400, true, 0, 92, 2});
  const std::vector<std::uint8_t> smaller = WriteJpeg({320, 240, true, 0, 80, 3});
  WriteBytes(dir / "holiday.jpg", holiday);
  WriteBytes(dir / "bigger.jpg", bigger);
  WriteBytes(dir / "smaller.jpg", smaller);
  // The holiday photo's first cluster (2 KiB) on its own, so that a file
  // put there and deleted leaves the photo's own bytes in it.
  WriteBytes(dir / "first.bin", std::vector<std::uint8_t>(holiday.begin(), holiday.begin() + 2048));
  WriteFile(dir / "note.txt", "Shopping list: bread, milk, batteries for the camera.\n");
  ASSERT_GT(smaller.size(), 2048u * 4);
  ASSERT_LT(smaller.size(), bigger.size());
  const std::string mtools = "MTOOLS_SKIP_CHECK=1 ";
  const auto copy = [&](const char* from, const std::string& to) {
    RunChecked(mtools + "mcopy -i " + image + " " + ShellQuote((dir / from).string()) + " " + to);
  };
  const auto remove = [&](const std::string& path) { RunChecked(mtools + "mdel -i " + image + " " + path); };
  RunChecked("truncate -s 16M " + image + " && mkfs.fat -F 16 -s 4 " + image + " >/dev/null");
  // Two folders, so that no later entry takes a deleted one's slot.
  RunChecked(mtools + "mmd -i " + image + " ::/old ::/older");
  // gone.jpg's clusters now hold smaller.jpg, a whole JPEG of its own.
  copy("bigger.jpg", "::/older/gone.jpg");
  remove("::/older/gone.jpg");
  copy("smaller.jpg", "::/new.jpg");
  // holiday.jpg's second cluster now holds note.txt.
  copy("holiday.jpg", "::/old/holiday.jpg");
  remove("::/old/holiday.jpg");
  copy("first.bin", "::/first.bin");
  copy("note.txt", "::/note.txt");
  remove("::/first.bin");

  const SalvexRun scan = RunSalvex(SALVEX_BINARY, "scan " + image + " --json --check", dir.Path());

  ASSERT_EQ(scan.status, 0) << scan.err;
  std::map<std::string, std::string> verdicts;
  for (const JsonValue& item : ParseJson(scan.out).items) {
    if (item.At("kind").Str() != "file" || item.At("name").Str().find(".jpg") == std::string::npos) continue;
    const JsonValue& intact = item.At("intact");
    verdicts[item.At("name").Str()] = intact.IsNull() ? "null" : intact.Bool() ? "true" : "false";
  }
  const std::map<std::string, std::string> expected = {
      {"new.jpg", "true"}, {"xone.jpg", "false"}, {"xoliday.jpg", "false"}};
  EXPECT_EQ(verdicts, expected) << scan.out;
}

// A live JPEG whose FAT chain ends two clusters in (damage no tool makes,
// patched in both FATs): recovery reads on from the clusters that follow,
// which here are its own, yet what was guessed is not called intact.
TEST(CliIntactCheck, AFileReadOnPastItsDamagedChainIsNotCalledIntact) {
  SALVEX_REQUIRE_TOOLS("mkfs.fat", "mcopy");
  TempDir dir;
  const std::filesystem::path path = dir / "card.img";
  const std::string image = ShellQuote(path.string());
  WriteBytes(dir / "photo.jpg", WriteJpeg({480, 360, true, 0, 90, 5}));
  RunChecked("truncate -s 16M " + image + " && mkfs.fat -F 16 -s 4 " + image + " >/dev/null");
  RunChecked("MTOOLS_SKIP_CHECK=1 mcopy -i " + image + " " + ShellQuote((dir / "photo.jpg").string()) + " ::/photo.jpg");
  const auto firstCluster = [&] {
    for (const JsonValue& item : ParseJson(RunSalvex(SALVEX_BINARY, "scan " + image + " --json", dir.Path()).out).items) {
      if (item.At("name").Str() == "photo.jpg") return static_cast<std::uint32_t>(item.At("firstCluster").Num());
    }
    return 0u;
  }();
  ASSERT_GE(firstCluster, 2u);
  {
    std::fstream disk(path, std::ios::in | std::ios::out | std::ios::binary);
    std::uint8_t boot[512];
    disk.read(reinterpret_cast<char*>(boot), sizeof boot);
    const std::uint32_t reserved = boot[14] | boot[15] << 8;
    const std::uint32_t perFat = boot[22] | boot[23] << 8;
    for (std::uint32_t fat = 0; fat < boot[16]; ++fat) {
      disk.seekp(static_cast<std::streamoff>((reserved + fat * perFat) * 512 + 2 * (firstCluster + 1)));
      disk.write("\xFF\xFF", 2);
    }
  }

  const SalvexRun scan = RunSalvex(SALVEX_BINARY, "scan " + image + " --json --check", dir.Path());

  ASSERT_EQ(scan.status, 0) << scan.err;
  for (const JsonValue& item : ParseJson(scan.out).items) {
    if (item.At("name").Str() == "photo.jpg") {
      EXPECT_TRUE(item.At("intact").IsNull()) << scan.out;
    }
  }
}

}  // namespace
}  // namespace salvex::testing
