// Files found by their content that are partial, put together from pieces
// or damaged say so wherever a doubtful file does: in the list's warning,
// in the report's marks and in the recovery's summary; a sound one is
// marked nowhere.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "items/folder_tree_model.h"
#include "platform/memory_disk_source.h"
#include "session/file_type_search.h"
#include "session/recovery_choice.h"
#include "session/recovery_report.h"
#include "support/recording_ui_port.h"
#include "support/tool_runner.h"
#include "wizard/item_list_model.h"

namespace salvex {
namespace {

struct MarkCase {
  const char* name;
  Soundness soundness;
  CarveCut cut;
  bool joined;
  std::vector<FileSpan> damaged;
  const char* reportMark;  // empty: none
  const char* doubt;       // in the warning and the summary; empty: none
};

const MarkCase kCases[] = {
    {"Intact", Soundness::whole, CarveCut::none, false, {}, "", ""},
    {"CutShort", Soundness::cutShort, CarveCut::otherFileStart, false, {}, "partial",
     "cut short where another file begins: only its sound start"},
    {"PiecedTogether", Soundness::whole, CarveCut::none, true, {}, "pieced together",
     "put together from 2 pieces found apart"},
    {"DamagedKeptWhole", Soundness::damaged, CarveCut::damaged, false, {{512, 1024}}, "damaged ranges",
     "kept whole, but damaged in bytes 512-1024"},
};

TEST(FoundFileMarks, EveryDoubtIsShownListedAndReported) {
  std::vector<CarvedRecord> records;
  for (const MarkCase& c : kCases) {
    CarvedRecord record;
    record.path = std::string("zip/") + c.name + ".zip";
    record.family = "zip";
    record.extension = "zip";
    record.size = 2048;
    record.pieces = c.joined ? std::vector<ByteRange>{{8192, 9216}, {4096, 5120}} : std::vector<ByteRange>{{4096, 6144}};
    record.soundness = c.soundness;
    record.cut = c.cut;
    record.joined = c.joined;
    record.damagedSpans = c.damaged;
    records.push_back(record);
  }
  Session session;
  session.reader.Open(std::make_unique<MemoryDiskSource>(std::vector<std::uint8_t>(1 << 16, 0x5A)));
  FileCarvedItems(records, session.items);
  FolderTreeModel tree;
  testing::RecordingUiPort ui;
  BuildFatFolderTree(session.items, tree, ui, FolderTreeModel::kRoot);
  HitLists hits;
  wizard::ItemListModel list(session.items, hits, {});
  list.ShowFolder(wizard::ItemSource::fat, session.items.FatFiles().Items()[0].parentCluster, session.filters);
  ASSERT_EQ(list.RowCount(), std::size(kCases));

  testing::TempDir dir;
  std::string error;
  const auto destination = HostFolder::Open(dir.Path().string(), error);
  ASSERT_TRUE(destination) << error;
  RecoveryRunState run;
  SilentSavingView saving;
  const RecoverySummary summary =
      RecoverItems(session, tree, RecoverySelection{true, {}, {}}, *destination, ui, saving, run);
  EXPECT_EQ(summary.filesWritten, std::size(kCases));

  for (std::uint32_t i = 0; i < std::size(kCases); ++i) {
    const MarkCase& c = kCases[i];
    SCOPED_TRACE(c.name);
    const std::vector<std::string> marks = FileMarks(session.items, false, i);
    EXPECT_EQ(marks, *c.reportMark ? std::vector<std::string>{c.reportMark} : std::vector<std::string>{});
    const std::string warning = list.WarningText(i);
    const auto summaryLine = std::find_if(summary.foundDoubtful.begin(), summary.foundDoubtful.end(),
                                          [&](const std::string& line) { return line.find(c.name) != std::string::npos; });
    if (*c.doubt == '\0') {
      EXPECT_EQ(warning, "");
      EXPECT_EQ(summaryLine, summary.foundDoubtful.end());
      continue;
    }
    EXPECT_NE(warning.find(std::string(wizard::kFoundDoubtToolTip) + c.doubt), std::string::npos) << warning;
    ASSERT_NE(summaryLine, summary.foundDoubtful.end());
    EXPECT_NE(summaryLine->find(c.doubt), std::string::npos) << *summaryLine;
    EXPECT_NE(summaryLine->find("Found by Content/zip/"), std::string::npos) << *summaryLine;
  }
}

}  // namespace
}  // namespace salvex
