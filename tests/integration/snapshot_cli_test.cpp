// Snapshots, Find Files and file filters through salvex, on a FAT32 image
// made by sfdisk, mkfs.fat and mtools: a saved scan or deep scan loads back
// as the same items, find lists what the matcher's rules pick, and --filter
// narrows the listing and the recovery to the matching files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/json_value.h"
#include "support/recovery_bench.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kStart = 2048;
constexpr std::uint32_t kSectors = 69632;  // 34 MiB: mtools takes no smaller FAT32
constexpr std::uint64_t kDiskSectors = kStart + kSectors + 2048;

struct Planted {
  std::string folder;  // "" for the root
  std::string name;
  std::uint32_t size;

  std::string Path() const { return folder.empty() ? name : folder + "/" + name; }
};

// Live files, each with data.
const std::vector<Planted> kLive = {
    {"", "report.doc", 3000},      {"", "report.docx", 500},     {"", "areport.txt", 700},
    {"", "data1.xls", 100},        {"", "data12.xls", 120},      {"", "notes.txt", 2000},
    {"Docs", "summary.doc", 5000}, {"Docs", "readme.txt", 900},  {"Docs/Letters", "letter1.txt", 1500},
    {"Docs/Letters", "crème.doc", 400},
};

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return text;
}

// The '*.TXT' filter's rule: the name ends in ".TXT" after at least one character.
bool EndsWithTxt(const std::string& name) { return name.size() > 4 && Upper(name).ends_with(".TXT"); }

class SnapshotCliTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!HaveTools({"sfdisk", "mkfs.fat", "mcopy", "mmd", "mdel", "mdeltree"})) return;
    dir = std::make_unique<TempDir>();
    image = dir->Path() / "disk.img";
    DiskPlan plan;
    plan.totalSectors = kDiskSectors;
    plan.partitions = {{VolumeKind::fat32, false, kStart, kSectors, 0x0C, 1, "SNAPSHOTS"}};
    BuildDisk(image, plan);
    MtoolsVolume volume(image, kStart, dir->Path());
    const std::int64_t time = NoonUtc({2014, 3, 9});
    volume.MakeFolders({"Docs", "Docs/Letters", "Old"}, time);
    for (const std::string folder : {"", "Docs", "Docs/Letters"}) {
      std::vector<HostFile> files;
      for (const Planted& file : kLive) {
        if (file.folder == folder) files.push_back(PatternFile(file.name, file.size, time));
      }
      volume.CopyFiles(folder, files);
    }
    volume.CopyFiles("", {PatternFile("gone.txt", 300, time)});
    volume.CopyFiles("Old", {PatternFile("old.txt", 600, time)});
    volume.Delete({"gone.txt"});
    volume.DeleteTree("Old");
  }

  static void TearDownTestSuite() { dir.reset(); }

  void SetUp() override {
    SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mmd", "mdel", "mdeltree");
    scratch = dir->Path() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(scratch);
    fingerprint = FileFingerprint(image);
  }

  void TearDown() override {
    if (dir) {
      EXPECT_EQ(FileFingerprint(image), fingerprint) << "a command changed the image";
    }
  }

  SalvexRun Salvex(const std::string& arguments) {
    return RunSalvex(SALVEX_BINARY, arguments, scratch);
  }

  // `salvex COMMAND IMAGE OPTIONS`, which must succeed.
  std::string Run(const std::string& command, const std::string& options) {
    const SalvexRun run = Salvex(command + " " + ShellQuote(image.string()) + " " + options);
    EXPECT_EQ(run.status, 0) << command << " " << options << "\n" << run.err;
    return run.out;
  }

  std::string Quoted(const fs::path& path) const { return ShellQuote(path.string()); }

  static std::unique_ptr<TempDir> dir;
  static fs::path image;
  fs::path scratch;
  std::uint64_t fingerprint = 0;
};

std::unique_ptr<TempDir> SnapshotCliTest::dir;
fs::path SnapshotCliTest::image;

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(SnapshotCliTest, ASavedScanLoadsBackAsTheSameItems) {
  const fs::path saved = scratch / "saved";
  fs::create_directories(saved);
  const SalvexRun scan =
      Salvex("scan " + ShellQuote(image.string()) + " --partition 1 --json --save-snapshot " + Quoted(saved / "x"));
  ASSERT_EQ(scan.status, 0) << scan.err;
  EXPECT_EQ(scan.err, "salvex: snapshot saved as " + (saved / "X.RSNP").string() + "\n");
  EXPECT_EQ(Entries(saved), (std::vector<std::string>{"X.RSNP"}));
  const std::vector<ListedItem> scanned = ItemsFromScanJson(scan.out);

  // What the test wrote is among them, with its size.
  for (const Planted& file : kLive) {
    const auto found = std::find_if(scanned.begin(), scanned.end(),
                                    [&](const ListedItem& item) { return item.path == file.Path(); });
    ASSERT_NE(found, scanned.end()) << file.Path();
    EXPECT_EQ(found->size, file.size) << file.Path();
  }
  ASSERT_TRUE(std::any_of(scanned.begin(), scanned.end(), [](const ListedItem& item) { return item.deleted; }));

  // 86 bytes of an empty FAT snapshot, 17 more per folder, 23 more per file,
  // besides the names.
  std::uint64_t expectedBytes = 86;
  for (const ListedItem& item : scanned) expectedBytes += item.name.size() + (item.isFolder ? 17 : 23);
  EXPECT_EQ(fs::file_size(saved / "X.RSNP"), expectedBytes);

  const std::string loadedJson = Run("scan", "--snapshot " + Quoted(saved / "X.RSNP") + " --json");
  const std::vector<ListedItem> loaded = ItemsFromScanJson(loadedJson);
  EXPECT_EQ(DiffItems(loaded, scanned), "") << loadedJson;
  std::uint64_t nextId = 0;
  for (const ListedItem& item : loaded) {
    if (!item.isFolder) {
      EXPECT_EQ(item.id, nextId++) << Describe(item);
    }
  }

  // A range given by hand saves the same, under an upper-cased name that
  // already ends in the extension.
  Run("scan", "--start " + std::to_string(kStart) + " --size " + std::to_string(kSectors) +
                  " --type fat32 --save-snapshot " + Quoted(saved / "y.rsnp"));
  EXPECT_EQ(Entries(saved), (std::vector<std::string>{"X.RSNP", "Y.RSNP"}));
  EXPECT_EQ(ReadWholeFile(saved / "Y.RSNP"), ReadWholeFile(saved / "X.RSNP"));

  // Find and recover work on the loaded items as on a scan.
  EXPECT_EQ(Run("find", "'*.DOC' --snapshot " + Quoted(saved / "X.RSNP") + " --json"),
            Run("find", "'*.DOC' --partition 1 --json"));
  const fs::path out = scratch / "recovered";
  Run("recover", "--snapshot " + Quoted(saved / "X.RSNP") + " --all --deleted exclude --out " + Quoted(out));
  for (const Planted& file : kLive) {
    EXPECT_TRUE(ReadWholeFile(out / file.Path()) == HighBytes(file.name, file.size)) << file.Path();
  }
}

TEST_F(SnapshotCliTest, DamagedSnapshotsFailWithOneLineNamingTheFile) {
  const fs::path saved = scratch / "X.RSNP";
  Run("scan", "--partition 1 --save-snapshot " + Quoted(scratch / "x"));
  const std::string whole = ReadWholeFile(saved);
  ASSERT_GT(whole.size(), 100u);
  struct Damage {
    const char* name;
    std::string bytes;
    std::string command;
  };
  const std::vector<Damage> damages = {
      {"CUT.RSNP", whole.substr(0, whole.size() - 1), "scan"},
      {"OTHER.RSNP", "rsn4.02" + whole.substr(7), "scan"},
      {"CUT.RS2", "Brimora Salvex 4.03", "deep-scan --fs fat32"},
      {"TREE.RS2", whole, "deep-scan --fs fat32"},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.name);
    const fs::path path = scratch / damage.name;
    std::ofstream(path, std::ios::binary) << damage.bytes;
    const SalvexRun run = Salvex(damage.command + " " + ShellQuote(image.string()) + " --snapshot " + Quoted(path));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("salvex: error: " + path.string() + ": ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
}

TEST_F(SnapshotCliTest, ASavedDeepScanGivesTheSameFileSystemsAndTree) {
  const std::string found = Run("deep-scan", "--fs fat32 --json --save-snapshot " + Quoted(scratch / "d"));
  EXPECT_EQ(Entries(scratch), (std::vector<std::string>{"D.RS2"}));
  const JsonValue systems = ParseJson(found);
  ASSERT_FALSE(systems.items.empty()) << found;
  // mkfs.fat reserves 32 sectors in front of a FAT32 volume's FATs.
  EXPECT_TRUE(std::any_of(systems.items.begin(), systems.items.end(), [](const JsonValue& system) {
    return system.At("fsType").Str() == "FAT32" && system.At("fat1Start").Num() == kStart + 32;
  })) << found;

  const std::string snapshot = Quoted(scratch / "D.RS2");
  EXPECT_EQ(Run("deep-scan", "--fs fat32 --snapshot " + snapshot + " --json"), found);

  // The counts it reports match the file's size: 43 bytes, 4 per boot
  // sector, 18 per folder hit.
  const std::string counts = Run("deep-scan", "--fs fat32 --snapshot " + snapshot);
  unsigned boots = 0;
  unsigned folders = 0;
  ASSERT_EQ(std::sscanf(counts.c_str(), "%u boot sector(s), %u folder(s)", &boots, &folders), 2) << counts;
  EXPECT_GE(folders, 2u) << "Docs and Docs/Letters at least";
  EXPECT_EQ(fs::file_size(scratch / "D.RS2"), 43u + 4u * boots + 18u * folders);

  // scan has no --mount: it says where the snapshot is read.
  const SalvexRun asScan = Salvex("scan " + Quoted(image) + " --snapshot " + snapshot);
  EXPECT_EQ(asScan.status, 1);
  EXPECT_NE(asScan.err.find("salvex deep-scan SOURCE --snapshot FILE"), std::string::npos) << asScan.err;

  const std::string swept = Run("deep-scan", "--fs fat32 --mount 1 --json");
  EXPECT_EQ(Run("deep-scan", "--fs fat32 --snapshot " + snapshot + " --mount 1 --json"), swept);
  const std::vector<ListedItem> items = ItemsFromScanJson(swept);
  EXPECT_TRUE(std::any_of(items.begin(), items.end(), [](const ListedItem& item) {
    return item.name == "letter1.txt" && item.size == 1500;
  })) << swept;
}

// The rows `find --json` prints for PATTERN, sorted: "NAME PATH SIZE".
std::vector<std::string> FoundRows(const std::string& json) {
  std::vector<std::string> rows;
  for (const JsonValue& row : ParseJson(json).items) {
    rows.push_back(row.At("name").Str() + " " + row.At("path").Str() + " " + std::to_string(row.At("size").Num()));
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

TEST_F(SnapshotCliTest, FindListsWhatTheMatcherRulesPick) {
  struct Search {
    const char* pattern;
    std::vector<std::string> rows;  // sorted
  };
  const std::vector<Search> searches = {
      {"*.DOC", {"CRÈME.DOC \\Docs\\Letters 400", "REPORT.DOC \\ 3000", "SUMMARY.DOC \\Docs 5000"}},
      {"*.doc", {"CRÈME.DOC \\Docs\\Letters 400", "REPORT.DOC \\ 3000", "SUMMARY.DOC \\Docs 5000"}},
      {"DATA?.XLS", {"DATA1.XLS \\ 100"}},
      {"REP*", {"REPORT.DOC \\ 3000", "REPORT.DOCX \\ 500"}},
      {"PORT", {"AREPORT.TXT \\ 700", "REPORT.DOC \\ 3000", "REPORT.DOCX \\ 500"}},
      {"*.PDF", {}},
  };
  for (const Search& search : searches) {
    SCOPED_TRACE(search.pattern);
    EXPECT_EQ(FoundRows(Run("find", ShellQuote(search.pattern) + " --partition 1 --json")), search.rows);
  }
  // Rows come in the order the scan lists the files (their sizes differ).
  std::vector<std::uint64_t> scanOrder;
  for (const ListedItem& item : ItemsFromScanJson(Run("scan", "--partition 1 --json"))) {
    if (!item.isFolder && Upper(item.name).ends_with(".DOC")) scanOrder.push_back(item.size);
  }
  std::vector<std::uint64_t> findOrder;
  for (const JsonValue& row : ParseJson(Run("find", "'*.DOC' --partition 1 --json")).items) {
    findOrder.push_back(row.At("size").Num());
  }
  EXPECT_EQ(findOrder, scanOrder);
}

TEST_F(SnapshotCliTest, FilterNarrowsTheListingAndTheRecoveryToMatchingFiles) {
  const std::vector<ListedItem> all = ItemsFromScanJson(Run("scan", "--partition 1 --json"));
  const std::vector<ListedItem> filtered = ItemsFromScanJson(Run("scan", "--partition 1 --filter '*.TXT' --json"));
  std::vector<ListedItem> expected;
  std::copy_if(all.begin(), all.end(), std::back_inserter(expected),
               [](const ListedItem& item) { return item.isFolder || EndsWithTxt(item.name); });
  ASSERT_LT(expected.size(), all.size());
  EXPECT_EQ(DiffItems(filtered, expected), "");

  const fs::path out = scratch / "out";
  const SalvexRun run = Salvex("recover " + ShellQuote(image.string()) + " --partition 1 --filter '*.TXT' --all " +
                               "--deleted exclude --out " + Quoted(out));
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  std::vector<std::string> wanted;
  for (const Planted& file : kLive) {
    if (!EndsWithTxt(file.name)) continue;
    wanted.push_back(file.Path());
    EXPECT_TRUE(ReadWholeFile(out / file.Path()) == HighBytes(file.name, file.size)) << file.Path();
  }
  std::sort(wanted.begin(), wanted.end());
  std::vector<std::string> written = TreeBelow(out);
  std::erase_if(written, [](const std::string& path) { return path.ends_with("/"); });
  EXPECT_EQ(written, wanted);
}

}  // namespace
}  // namespace salvex::testing
