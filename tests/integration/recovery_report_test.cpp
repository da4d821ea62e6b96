// The report of a recovery run, on an image made by sfdisk, mkfs.fat and
// mtools: salvex recover --report FILE and the window's Recover All write the
// same CSV, a row for each file taken: its path in the volume, size, deleted
// or not, marks, whether its own structure says it is whole, what became of
// it and where it was written.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "session/recovery_report.h"
#include "support/fake_command_view.h"
#include "support/recovery_bench.h"
#include "support/recovery_tool_disk.h"
#include "support/tool_runner.h"
#include "support/wizard_on_image.h"
#include "wizard/wizard_commands.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

// A whole 1x1 PNG: its signature, IHDR, one IDAT and IEND, with their CRCs.
const std::string kPng(
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00\x00\x01"
    "\x08\x06\x00\x00\x00\x1f\x15\xc4\x89\x00\x00\x00\x0b\x49\x44\x41\x54\x78\x9c\x63\x60\x00\x02\x00\x00"
    "\x05\x00\x01\x7a\x5e\xab\x3f\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
    68);

std::vector<std::string> Lines(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class RecoveryReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mmd", "mdel");
    RecoveryToolDisk disk(image, FsType::fat16, 1, 8192);
    disk.MakeFolders({"Docs"});
    const std::int64_t noon2000 = 946728000;
    disk.CopyFiles("", {{"whole.png", kPng, noon2000}, {"cut.png", kPng.substr(0, 40), noon2000},
                        {"gone, for now.txt", PatternBytes("gone", 700), noon2000}});
    disk.CopyFiles("Docs", {{"letter.txt", PatternBytes("letter", 1500), noon2000}});
    disk.Delete({"gone, for now.txt"});
  }

  // The rows every run of the image gives, after the header: in the order the
  // run takes the files, the root's before the folder's.
  std::vector<std::string> ExpectedRows(const fs::path& into) const {
    return {
        "/whole.png,68,no,,yes,written," + (into / "whole.png").string(),
        "/cut.png,40,no,not intact,no,written," + (into / "cut.png").string(),
        "\"/gone, for now.txt\",700,yes,,,written,\"" + (into / "gone, for now.txt").string() + "\"",
        "/Docs/letter.txt,1500,no,,,written," + (into / "Docs" / "letter.txt").string(),
    };
  }

  TempDir dir;
  fs::path image = dir / "disk.img";
};

TEST_F(RecoveryReportTest, TheCommandLineWritesTheReportItIsAskedFor) {
  const fs::path out = dir / "out";
  const fs::path report = dir / "reports" / "run.csv";
  fs::create_directories(report.parent_path());
  const CommandResult run = RunCommand(ShellQuote(SALVEX_BINARY) + " recover " + ShellQuote(image.string()) +
                                       " --partition 1 --all --out " + ShellQuote(out.string()) + " --report " +
                                       ShellQuote(report.string()));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("Report: " + report.string()), std::string::npos) << run.output;
  std::vector<std::string> expected{kRecoveryReportHeader};
  for (const std::string& row : ExpectedRows(out)) expected.push_back(row);
  EXPECT_EQ(Lines(report), expected);
  EXPECT_FALSE(fs::exists(out / kRecoveryReportName)) << "the command line writes only the report it names";
}

TEST_F(RecoveryReportTest, EveryRunOfTheWindowLeavesItsReportBesideTheFiles) {
  WizardOnImage run(image);
  FakeCommandView dialogs;
  wizard::WizardCommands commands(run.controller, run.session, run.view, dialogs, run.shell,
                                  wizard::WizardCommands::Options{dir.Path().string(), "", "test"});
  run.Click(wizard::TreeKind::disks, -1);
  run.controller.OnNext();
  run.Click(wizard::TreeKind::partitions, 0);
  run.controller.OnNext();
  ASSERT_EQ(run.controller.StepNumber(), 3);
  const fs::path out = dir / "out";
  dialogs.answers["folder"] = out.string();
  dialogs.openReportAfterSummary = true;
  // A second run into the same folder keeps the first one's report.
  for (const char* report : {"recovery-report.csv", "Copy (1 ) of recovery-report.csv"}) {
    commands.Run(wizard::Command::recoverAll);
    ASSERT_FALSE(dialogs.summaries.empty());
    EXPECT_EQ(dialogs.summaries.back().report, (out / report).string());
    EXPECT_NE(dialogs.summaries.back().text.find("The report of every file, with its marks: " + (out / report).string()),
              std::string::npos);
    ASSERT_FALSE(run.shell.opened.empty());
    EXPECT_EQ(run.shell.opened.back().first, (out / report).string()) << "Open Report opens it";
  }
  const std::vector<std::string> first = Lines(out / "recovery-report.csv");
  ASSERT_EQ(first.size(), 5u);
  EXPECT_EQ(first[0], kRecoveryReportHeader);
  EXPECT_EQ(std::vector<std::string>(first.begin() + 1, first.end()), ExpectedRows(out));
  // The second run found every file there: the duplicates got new names.
  const std::vector<std::string> second = Lines(out / "Copy (1 ) of recovery-report.csv");
  ASSERT_EQ(second.size(), 5u);
  EXPECT_EQ(second[1], "/whole.png,68,no,,yes,written," + (out / "Copy (1 ) of whole.png").string());
}

// The marks come from the item's own fields, one name each.
TEST(RecoveryReport, MarksNameEveryDoubtAndFieldsAreQuotedAsSpreadsheetsRead) {
  ItemStore store;
  store.AddFatFile("a.bin", 10, 0, 0, 0, 100, true);
  store.AddFatFile("b.bin", 11, 0, 0, 0, 100, true);
  FatFileItem& a = store.FatFiles().At(0);
  a.overwritten = true;
  a.fragmentInferred = true;
  a.conflictsWith = {1};
  store.FatFiles().At(1).chainAssumed = true;
  EXPECT_EQ(FileMarks(store, false, 0), (std::vector<std::string>{"overwritten", "fragment inferred", "conflict"}));
  EXPECT_EQ(FileMarks(store, false, 1), (std::vector<std::string>{"chain assumed"}));
  EXPECT_TRUE(FileMarks(store, false, 7).empty());
  const struct {
    const char* text;
    const char* field;
  } fields[] = {{"plain", "plain"}, {"a,b", "\"a,b\""}, {"say \"x\"", "\"say \"\"x\"\"\""}, {"two\nlines", "\"two\nlines\""}};
  for (const auto& f : fields) EXPECT_EQ(CsvField(f.text), f.field);
}

}  // namespace
}  // namespace salvex::testing
