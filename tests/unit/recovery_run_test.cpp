// RunFatRecovery over hand-made item stores: the tree it re-creates, what its
// summary reports, how Stop, Skip and a refused creation end it, and names
// and links that try to lead a write out of the destination.

#include "recovery/recovery_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "items/folder_tree.h"
#include "support/recovery_bench.h"

namespace salvex {
namespace {

namespace fs = std::filesystem;
using testing::DosDate;
using testing::ReadHostFile;
using testing::RecoveryBench;
using testing::TreeBelow;

constexpr std::uint16_t kDate = DosDate(2018, 5, 20);

std::vector<std::string> Sorted(std::vector<std::string> paths) {
  std::sort(paths.begin(), paths.end());
  return paths;
}

// A file's data on the crafted volume: consecutive clusters from `first`.
struct Placed {
  std::uint32_t first;
  std::uint32_t size;
};

// Chains a live file's clusters, as a FAT driver leaves them.
void LinkConsecutive(RecoveryBench& on, Placed data) {
  std::vector<std::uint32_t> clusters((data.size + kSectorSize - 1) / kSectorSize);
  for (std::uint32_t i = 0; i < clusters.size(); ++i) clusters[i] = data.first + i;
  on.fat.LinkChain(clusters);
}

class RecoveryRun : public ::testing::Test {
 protected:
  RecoveryRun() : bench(testing::RecoveryGeometry(FsType::fat32, 1)) {}

  void Folder(const std::string& name, std::uint32_t cluster, std::uint32_t parent, bool deleted = false) {
    store.AddFatFolder(name, cluster, parent, kDate, kDate, 0, deleted);
  }
  void File(const std::string& name, std::uint32_t parent, Placed data, bool deleted = false) {
    store.AddFatFile(name, data.first, parent, kDate, kDate, data.size, deleted);
    ++store.counters.fileCount;
    if (!deleted) LinkConsecutive(bench, data);
  }

  std::vector<std::uint8_t> Bytes(Placed data) const {
    const auto clusters = static_cast<std::uint32_t>((data.size + kSectorSize - 1) / kSectorSize);
    return bench.BytesFrom(data.first, clusters, data.size);
  }
  RecoverySummary Run(const RecoverySelection& selection) { return Run(selection, bench.Out()); }
  RecoverySummary Run(const RecoverySelection& selection, const HostFolder& destination) {
    auto context = bench.Context();
    context.writerThreads = writers;
    return RunFatRecovery(context, store, RecoveryBench::TreeOf(store), selection, destination);
  }
  std::string OutPath(const std::string& relative) const { return (bench.OutPath() / relative).string(); }

  RecoveryBench bench;
  ItemStore store;
  unsigned writers = 1;  // threads writing the folders' files
};

// --- The tree below the destination ----------------------------------------

// Docs (with Old inside) and a deleted Trash, each with a file; one file in
// the root.
constexpr Placed kA{10, 700}, kB{20, 1000}, kC{30, 300}, kD{40, 1200};

struct SelectionCase {
  const char* name;
  RecoverySelection selection;
  std::vector<std::string> tree;
  std::map<std::string, Placed> files;
};

const SelectionCase kSelectionCases[] = {
    {"All",
     {true, {}, {}},
     {"Docs/", "Docs/Old/", "Docs/Old/c.txt", "Docs/b.txt", "Trash/", "Trash/d.txt", "a.txt"},
     {{"a.txt", kA}, {"Docs/b.txt", kB}, {"Docs/Old/c.txt", kC}, {"Trash/d.txt", kD}}},
    {"AFolderAndAFile",
     {false, {0}, {0}},
     {"Docs/", "Docs/Old/", "Docs/Old/c.txt", "Docs/b.txt", "a.txt"},
     {{"a.txt", kA}, {"Docs/b.txt", kB}, {"Docs/Old/c.txt", kC}}},
    {"AnInnerFolderGoesRightBelowTheDestination", {false, {1}, {}}, {"Old/", "Old/c.txt"}, {{"Old/c.txt", kC}}},
    {"ADeletedFolder", {false, {2}, {}}, {"Trash/", "Trash/d.txt"}, {{"Trash/d.txt", kD}}},
    {"AFileFromAFolder", {false, {}, {2}}, {"c.txt"}, {{"c.txt", kC}}},
};

class SelectionTest : public RecoveryRun, public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(SelectionTest, ReCreatesTheChosenPartOfTheTree) {
  const SelectionCase& chosen = GetParam();
  Folder("Docs", 100, kFatRootKey);
  Folder("Old", 101, 100);
  Folder("Trash", 102, kFatRootKey, true);
  File("a.txt", kFatRootKey, kA);
  File("b.txt", 100, kB);
  File("c.txt", 101, kC);
  File("d.txt", 102, kD, true);
  bench.Open();

  const RecoverySummary summary = Run(chosen.selection);

  EXPECT_EQ(TreeBelow(bench.OutPath()), Sorted(chosen.tree));
  for (const auto& [path, data] : chosen.files) EXPECT_EQ(ReadHostFile(bench.OutPath() / path), Bytes(data)) << path;
  EXPECT_EQ(summary.filesWritten, chosen.files.size());
  EXPECT_TRUE(summary.AllWritten());
}

INSTANTIATE_TEST_SUITE_P(Table, SelectionTest, ::testing::ValuesIn(kSelectionCases),
                         [](const ::testing::TestParamInfo<SelectionCase>& param) {
                           return std::string(param.param.name);
                         });

// Folders nested deeper than the tree goes are listed under "Lost Files":
// they are recovered there, by Recover All and by choosing "Lost Files".
TEST_F(RecoveryRun, FoldersTooDeepForTheTreeComeBackUnderLostFiles) {
  constexpr std::uint32_t kLevels = 300;
  for (std::uint32_t level = 0; level < kLevels; ++level) {
    Folder("d", 1000 + level, level == 0 ? kFatRootKey : 999 + level);
    File("f" + std::to_string(level) + ".txt", 1000 + level, kA);
  }
  bench.Open();
  const std::string lost = std::string(kLostFilesName) + "/d";
  EXPECT_EQ(Run({true, {}, {}}).filesWritten, kLevels);
  std::string deepest;
  for (std::uint32_t level = 0; level < kMaxTreeDepth; ++level) deepest += "d/";
  EXPECT_EQ(ReadHostFile(bench.OutPath() / (deepest + "f255.txt")), Bytes(kA));
  EXPECT_EQ(ReadHostFile(bench.OutPath() / lost / "f256.txt"), Bytes(kA));

  fs::remove_all(bench.OutPath() / "d");
  fs::remove_all(bench.OutPath() / kLostFilesName);
  const RecoverySummary lostOnly = Run({false, {}, {}, true});
  EXPECT_EQ(lostOnly.filesWritten, kLevels - kMaxTreeDepth);
  EXPECT_EQ(ReadHostFile(bench.OutPath() / lost / "f256.txt"), Bytes(kA));
  EXPECT_FALSE(fs::exists(bench.OutPath() / "d"));
}

TEST_F(RecoveryRun, FoldersThatContainEachOtherAreEnteredOnce) {
  Folder("A", 200, 201);
  Folder("B", 201, 200);
  File("f.txt", 201, kA);
  bench.Open();

  const RecoverySummary summary = Run({false, {0}, {}});

  EXPECT_EQ(TreeBelow(bench.OutPath()), Sorted({"A/", "A/B/", "A/B/f.txt"}));
  EXPECT_EQ(summary.filesWritten, 1u);
}

// --- What the summary reports ----------------------------------------------

TEST_F(RecoveryRun, AFileWithAnUnreadableSectorIsWrittenAndNamed) {
  Folder("Docs", 100, kFatRootKey);
  File("a.txt", kFatRootKey, kA);
  File("b.txt", 100, kB);
  bench.Open().FailSector(bench.fat.ClusterSector(kB.first + 1));

  const RecoverySummary summary = Run({true, {}, {}});

  EXPECT_EQ(summary.filesWritten, 2u);
  ASSERT_EQ(summary.withUnreadableSectors.size(), 1u);
  EXPECT_EQ(summary.withUnreadableSectors[0].path, OutPath("Docs/b.txt"));
  EXPECT_EQ(summary.withUnreadableSectors[0].sectors, 1u);
  EXPECT_TRUE(summary.failed.empty());
  EXPECT_FALSE(summary.AllWritten());
  std::vector<std::uint8_t> expected = Bytes(kB);
  std::fill_n(expected.begin() + kSectorSize, 1000 - kSectorSize, 0);
  EXPECT_EQ(ReadHostFile(bench.OutPath() / "Docs/b.txt"), expected);
  EXPECT_EQ(ReadHostFile(bench.OutPath() / "a.txt"), Bytes(kA));
}

TEST_F(RecoveryRun, RefusedFilesAreCountedByReason) {
  File("kept.txt", kFatRootKey, kA);
  File("scratch.tmp", kFatRootKey, kB);
  File("old.txt", kFatRootKey, kC, true);
  File("there.txt", kFatRootKey, kD);
  std::ofstream(bench.OutPath() / "there.txt") << "already here";
  bench.Open();
  bench.filter = [](std::string_view name) { return !name.ends_with(".tmp"); };
  bench.settings.deletedMode = DeletedMode::excludeDeleted;
  bench.settings.duplicateMode = DuplicateMode::skipDuplicate;

  const RecoverySummary summary = Run({true, {}, {}});

  EXPECT_EQ(summary.filesWritten, 1u);
  EXPECT_EQ(summary.bytesWritten, kA.size);
  EXPECT_EQ(summary.refusedByFilter, 1u);
  EXPECT_EQ(summary.refusedByDeletedMode, 1u);
  EXPECT_EQ(summary.skippedDuplicates, 1u);
  EXPECT_TRUE(summary.AllWritten()) << "a refusal is a choice, not a failure";
  EXPECT_EQ(TreeBelow(bench.OutPath()), Sorted({"kept.txt", "there.txt"}));
}

struct PressCase {
  const char* name;
  bool stop;  // Stop Saving; otherwise Skip File
  unsigned writers = 1;
};

class PressInRunTest : public RecoveryRun, public ::testing::WithParamInterface<PressCase> {};

TEST_P(PressInRunTest, ThePartOfTheFileStaysAndOnlyStopEndsTheRun) {
  const Placed first{10, 1500 * 512 - 3};
  const Placed second{30, 900};
  File("first.bin", kFatRootKey, first);
  File("second.bin", kFatRootKey, second);
  bench.Open();
  writers = GetParam().writers;
  // Updates: the new file's 0 %, then one before each read of up to 512
  // sectors; the third comes after the first read.
  testing::PressingSavingView view(GetParam().stop ? bench.run.stopSaving : bench.run.skipFile, 3);
  bench.saving = &view;

  const RecoverySummary summary = Run({true, {}, {}});

  const std::vector<std::uint8_t> part = ReadHostFile(bench.OutPath() / "first.bin.partial");
  EXPECT_GT(part.size(), 0u);
  EXPECT_LT(part.size(), first.size);
  EXPECT_TRUE(std::equal(part.begin(), part.end(), Bytes(first).begin()));
  EXPECT_EQ(summary.cutShort, std::vector<std::string>{OutPath("first.bin.partial")});
  EXPECT_FALSE(fs::exists(bench.OutPath() / "first.bin")) << "a part is not counted, nor named, as the file";
  EXPECT_EQ(summary.stopped, GetParam().stop);
  EXPECT_FALSE(summary.AllWritten());
  if (GetParam().stop) {
    EXPECT_FALSE(fs::exists(bench.OutPath() / "second.bin"));
    EXPECT_EQ(summary.filesWritten, 0u);
  } else {
    EXPECT_EQ(ReadHostFile(bench.OutPath() / "second.bin"), Bytes(second));
    EXPECT_EQ(summary.filesWritten, 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(Buttons, PressInRunTest,
                         ::testing::Values(PressCase{"StopSaving", true}, PressCase{"SkipFile", false},
                                           PressCase{"StopSavingAmongWriters", true, 2},
                                           PressCase{"SkipFileAmongWriters", false, 2}),
                         [](const ::testing::TestParamInfo<PressCase>& param) {
                           return std::string(param.param.name);
                         });

TEST(RecoveryRunQuestion, AnsweringNoToACreationErrorStopsTheRun) {
  for (const bool goOn : {true, false}) {
    SCOPED_TRACE(goOn ? "Yes" : "No");
    RecoveryBench fresh(testing::RecoveryGeometry(FsType::fat32, 1));
    ItemStore files;
    files.AddFatFile("a.txt", kA.first, kFatRootKey, kDate, kDate, kA.size, false);
    files.AddFatFile("b.txt", kB.first, kFatRootKey, kDate, kDate, kB.size, false);
    files.AddFatFile("c.txt", kC.first, kFatRootKey, kDate, kDate, kC.size, false);
    for (const Placed data : {kA, kB, kC}) LinkConsecutive(fresh, data);
    fresh.Open();
    fresh.settings.duplicateMode = DuplicateMode::overwriteDuplicate;
    fresh.ui.confirmAnswer = goOn;
    fs::create_directory(fresh.OutPath() / "b.txt");  // no file can be opened there
    auto context = fresh.Context();

    const RecoverySummary summary = RunFatRecovery(context, files, RecoveryBench::TreeOf(files), {true, {}, {}}, fresh.Out());

    const std::string bPath = (fresh.OutPath() / "b.txt").string();
    EXPECT_EQ(fresh.ui.questions, std::vector<std::string>{"Error creating file : " + bPath + ".  Continue Recovery ? "});
    ASSERT_EQ(summary.failed.size(), 1u);
    EXPECT_EQ(summary.failed[0].rfind(bPath + ": ", 0), 0u) << summary.failed[0];
    EXPECT_EQ(summary.stopped, !goOn);
    EXPECT_EQ(ReadHostFile(fresh.OutPath() / "a.txt"), fresh.BytesFrom(kA.first, 2, kA.size));
    EXPECT_EQ(fs::exists(fresh.OutPath() / "c.txt"), goOn);
    EXPECT_EQ(summary.filesWritten, goOn ? 2u : 1u);
  }
}

// --- Several writer threads ------------------------------------------------

// Names that meet in one host folder (two folders merged, a file and a folder
// of one name), a name to escape, a file that cannot be recovered and enough
// folders to keep every writer busy: the run gives, file for file and line
// for line, what one thread gives.
TEST_F(RecoveryRun, SeveralWritersGiveWhatOneWriterGives) {
  Folder("Docs", 100, kFatRootKey);
  Folder("Docs", 103, kFatRootKey, true);
  Folder("Old", 101, 100);
  File("b.txt", 100, {20, 1000});
  File("Old", 100, {23, 40});
  File("b.txt", 103, {24, 600}, true);
  File("c.txt", 101, {26, 300});
  File("evil\x1b.txt", kFatRootKey, {27, 10});
  store.AddFatFile("lost.txt", 0, kFatRootKey, kDate, kDate, 100, false);
  for (std::uint32_t folder = 0; folder < 24; ++folder) {
    Folder("F" + std::to_string(folder % 20), 200 + folder, kFatRootKey, folder >= 20);
    for (std::uint32_t file = 0; file < 3; ++file) {
      File("f" + std::to_string(file) + ".bin", 200 + folder, {300 + folder * 8 + file * 2, 512 + file * 100});
    }
  }
  bench.Open();
  const RecoverySummary alone = Run({true, {}, {}});

  for (const unsigned threads : {2u, 3u}) {
    SCOPED_TRACE(threads);
    const fs::path out = bench.dir / ("out" + std::to_string(threads));
    fs::create_directory(out);
    std::string error;
    const auto destination = HostFolder::Open(out.string(), error);
    ASSERT_NE(destination, nullptr) << error;
    writers = threads;
    const RecoverySummary together = Run({true, {}, {}}, *destination);

    const std::vector<std::string> tree = TreeBelow(bench.OutPath());
    ASSERT_EQ(TreeBelow(out), tree);
    for (const std::string& path : tree) {
      if (path.back() != '/') {
        EXPECT_EQ(ReadHostFile(out / path), ReadHostFile(bench.OutPath() / path)) << path;
      }
    }
    const auto relative = [&](std::vector<std::string> lines, const fs::path& base) {
      for (std::string& line : lines) line.erase(0, base.string().size());
      return lines;
    };
    EXPECT_EQ(together.filesWritten, alone.filesWritten);
    EXPECT_EQ(together.bytesWritten, alone.bytesWritten);
    EXPECT_EQ(relative(together.notRecoverable, out), relative(alone.notRecoverable, bench.OutPath()));
    EXPECT_EQ(relative(together.escapedNames, out), relative(alone.escapedNames, bench.OutPath()));
    EXPECT_EQ(relative(together.failed, out), relative(alone.failed, bench.OutPath()));
  }
  EXPECT_TRUE(fs::exists(bench.OutPath() / "Docs" / "Copy (1 ) of b.txt"));
  EXPECT_TRUE(fs::exists(bench.OutPath() / "Docs" / "Copy (1 ) of Old" / "c.txt"));
  EXPECT_EQ(alone.notRecoverable.size(), 1u);
  EXPECT_EQ(alone.escapedNames.size(), 1u);
}

// --- Names and links that point out of the destination ---------------------

TEST_F(RecoveryRun, HostileNamesAreWrittenInsideTheDestination) {
  const std::string nul("a\0b", 3);
  const char* const folders[] = {"..", ".", "sub/dir", "../up"};
  std::uint32_t cluster = 300;
  for (const char* name : folders) {
    Folder(name, cluster, kFatRootKey);
    File("inside.txt", cluster, {cluster + 10, 100});
    cluster += 20;
  }
  File("../../escape.txt", kFatRootKey, {10, 600});
  File("x/y", kFatRootKey, {20, 50});
  File(nul, kFatRootKey, {30, 60});
  File("...", kFatRootKey, {40, 70});
  bench.Open();
  fs::create_directories(bench.dir / "nest" / "out");
  std::string error;
  const auto destination = HostFolder::Open((bench.dir / "nest" / "out").string(), error);
  ASSERT_NE(destination, nullptr) << error;

  const RecoverySummary summary = Run({true, {}, {}}, *destination);

  EXPECT_EQ(TreeBelow(bench.dir.Path()),
            Sorted({"out/", "nest/", "nest/out/", "nest/out/__/", "nest/out/__/inside.txt", "nest/out/_/",
                    "nest/out/_/inside.txt", "nest/out/sub_dir/", "nest/out/sub_dir/inside.txt", "nest/out/.._up/",
                    "nest/out/.._up/inside.txt", "nest/out/.._.._escape.txt", "nest/out/x_y", "nest/out/a_b",
                    "nest/out/..."}));
  EXPECT_EQ(ReadHostFile(bench.dir / "nest/out/.._.._escape.txt"), Bytes({10, 600}));
  EXPECT_EQ(ReadHostFile(bench.dir / "nest/out/__/inside.txt"), Bytes({310, 100}));
  EXPECT_EQ(summary.filesWritten, 8u);
  EXPECT_TRUE(summary.AllWritten());
}

TEST_F(RecoveryRun, ANameShortenedToDotDotStaysInside) {
  // Shortening a name longer than 255 bytes keeps its extension (".") and
  // whole UTF-8 characters; a name that is not UTF-8 may then keep only ".".
  const std::string name = ".\xC0" + std::string(300, '\x80') + ".";
  Folder(name, 300, kFatRootKey);
  File("inside.txt", 300, {10, 100});
  bench.Open();
  fs::create_directories(bench.dir / "nest" / "out");
  std::string error;
  const auto destination = HostFolder::Open((bench.dir / "nest" / "out").string(), error);
  ASSERT_NE(destination, nullptr) << error;

  Run({true, {}, {}}, *destination);

  for (const std::string& path : TreeBelow(bench.dir / "nest")) {
    EXPECT_EQ(path.rfind("out/", 0), 0u) << path << " lies outside the destination";
  }
  EXPECT_FALSE(fs::exists(bench.dir / "nest" / "out" / "inside.txt")) << "the folder's file belongs in its folder";
}

struct PlantedLinkCase {
  const char* name;
  DuplicateMode mode;
  bool targetExists;
};

class PlantedLinkTest : public RecoveryRun, public ::testing::WithParamInterface<PlantedLinkCase> {};

TEST_P(PlantedLinkTest, ALinkAtTheFilesPlaceIsNeverWrittenThrough) {
  const PlantedLinkCase& planted = GetParam();
  const fs::path target = bench.dir / (planted.targetExists ? "victim.txt" : "absent.txt");
  if (planted.targetExists) std::ofstream(target) << "victim";
  fs::create_symlink(target, bench.OutPath() / "planted.txt");
  File("planted.txt", kFatRootKey, kA);
  bench.Open();
  bench.settings.duplicateMode = planted.mode;

  const RecoverySummary summary = Run({true, {}, {}});

  if (planted.targetExists) {
    const std::string victim = "victim";
    EXPECT_EQ(ReadHostFile(target), std::vector<std::uint8_t>(victim.begin(), victim.end()));
  } else {
    EXPECT_FALSE(fs::exists(fs::symlink_status(target)));
  }
  EXPECT_TRUE(fs::is_symlink(bench.OutPath() / "planted.txt"));
  EXPECT_EQ(fs::read_symlink(bench.OutPath() / "planted.txt"), target);
  switch (planted.mode) {
    case DuplicateMode::renameDuplicate:
      EXPECT_EQ(ReadHostFile(bench.OutPath() / "Copy (1 ) of planted.txt"), Bytes(kA));
      EXPECT_EQ(summary.filesWritten, 1u);
      break;
    case DuplicateMode::overwriteDuplicate:
      ASSERT_EQ(summary.failed.size(), 1u);
      EXPECT_EQ(summary.failed[0].rfind(OutPath("planted.txt") + ": ", 0), 0u) << summary.failed[0];
      EXPECT_EQ(bench.ui.questions.size(), 1u);
      EXPECT_EQ(summary.filesWritten, 0u);
      break;
    case DuplicateMode::skipDuplicate:
      EXPECT_EQ(summary.skippedDuplicates, 1u);
      EXPECT_EQ(summary.filesWritten, 0u);
      break;
  }
  const std::vector<std::string> outside = TreeBelow(bench.dir.Path());
  const std::size_t extra = std::count_if(outside.begin(), outside.end(),
                                          [](const std::string& path) { return path.rfind("out/", 0) != 0; });
  EXPECT_EQ(extra, planted.targetExists ? 1u : 0u) << "only the victim lies outside the destination";
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlantedLinkTest,
    ::testing::Values(PlantedLinkCase{"RenameExisting", DuplicateMode::renameDuplicate, true},
                      PlantedLinkCase{"RenameDangling", DuplicateMode::renameDuplicate, false},
                      PlantedLinkCase{"OverwriteExisting", DuplicateMode::overwriteDuplicate, true},
                      PlantedLinkCase{"OverwriteDangling", DuplicateMode::overwriteDuplicate, false},
                      PlantedLinkCase{"SkipExisting", DuplicateMode::skipDuplicate, true}),
    [](const ::testing::TestParamInfo<PlantedLinkCase>& param) { return std::string(param.param.name); });

TEST_F(RecoveryRun, ALinkAtAFoldersPlaceIsNotEntered) {
  for (const bool targetExists : {true, false}) {
    SCOPED_TRACE(targetExists ? "existing" : "dangling");
    const fs::path elsewhere = bench.dir / (targetExists ? "elsewhere" : "nowhere");
    if (targetExists) fs::create_directory(elsewhere);
    fs::remove_all(bench.OutPath());
    fs::create_directory(bench.OutPath());
    fs::create_directory_symlink(elsewhere, bench.OutPath() / "Docs");
    std::string error;
    const auto destination = HostFolder::Open(bench.OutPath().string(), error);
    ASSERT_NE(destination, nullptr) << error;
    ItemStore docs;
    docs.AddFatFolder("Docs", 100, kFatRootKey, kDate, kDate, 0, false);
    docs.AddFatFile("inside.txt", kB.first, 100, kDate, kDate, kB.size, false);
    LinkConsecutive(bench, kB);
    bench.Open();
    auto context = bench.Context();

    const RecoverySummary summary = RunFatRecovery(context, docs, RecoveryBench::TreeOf(docs), {true, {}, {}}, *destination);

    if (targetExists) {
      EXPECT_TRUE(fs::is_empty(elsewhere));
    } else {
      EXPECT_FALSE(fs::exists(fs::symlink_status(elsewhere)));
    }
    EXPECT_EQ(ReadHostFile(bench.OutPath() / "Copy (1 ) of Docs" / "inside.txt"), Bytes(kB));
    EXPECT_EQ(summary.filesWritten, 1u);
  }
}

TEST_F(RecoveryRun, AFolderThatCannotBeMadeIsReportedUnderItsOwnName) {
  // The destination is removed under the run, as a disk that goes away: no
  // "Copy (n ) of" name is tried, and the failure names the folder itself.
  Folder("Docs", 100, kFatRootKey);
  File("inside.txt", 100, kB);
  std::string error;
  const fs::path gone = bench.dir / "gone";
  fs::create_directory(gone);
  const auto destination = HostFolder::Open(gone.string(), error);
  ASSERT_NE(destination, nullptr) << error;
  fs::remove(gone);

  const RecoverySummary summary = Run({true, {}, {}}, *destination);

  ASSERT_EQ(summary.failed.size(), 1u);
  EXPECT_NE(summary.failed[0].find("gone/Docs: "), std::string::npos) << summary.failed[0];
  EXPECT_EQ(summary.failed[0].find("Copy ("), std::string::npos) << summary.failed[0];
  EXPECT_EQ(summary.filesWritten, 0u);
}

}  // namespace
}  // namespace salvex
