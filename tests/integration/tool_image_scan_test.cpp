// Standard Scans of disks made by sfdisk, mkfs.fat and mtools: the scan must
// list exactly the folders and files the test wrote, live and deleted, with
// their paths, sizes, dates and first clusters.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "support/byte_image.h"
#include "support/json_value.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

#define SALVEX_REQUIRE_IMAGE_TOOLS() \
  SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mmd", "mdel", "mdeltree", "mattrib", "mshowfat")

// Two primary partitions (FAT32, then a Linux one the walk must skip) and an
// extended partition holding three logical FAT volumes; the last ends at the
// disk's end. Logical partitions leave room for their extended boot records.
DiskPlan FourVolumeDisk() {
  DiskPlan plan;
  plan.totalSectors = 229376;
  plan.extendedStart = 88064;
  plan.extendedSectors = 229376 - 88064;
  plan.partitions = {
      {VolumeKind::fat32, false, 2048, 81920, 0x0C, 1, "SALVEX1"},
      {VolumeKind::foreign, false, 83968, 2048, 0x83, 0, ""},
      {VolumeKind::fat16, true, 90112, 32768, 0x06, 0, "SALVEX2"},
      {VolumeKind::fat32, true, 124928, 69632, 0x0B, 1, "SALVEX3"},
      {VolumeKind::fat16, true, 196608, 32768, 0x0E, 1, "SALVEX4"},
  };
  return plan;
}

// The FAT partitions of the plan, in the order the table walk lists them.
std::vector<PartitionPlan> FatPartitions(const DiskPlan& plan) {
  std::vector<PartitionPlan> fat;
  for (const PartitionPlan& partition : plan.partitions) {
    if (partition.kind == VolumeKind::fat16 || partition.kind == VolumeKind::fat32) fat.push_back(partition);
  }
  return fat;
}

// Whether mtools stores a name as an 8.3 entry alone, with no long-name
// entries: a name that fits 8.3 and is all one case in each part. Only such a
// name loses its first character when its entry is deleted.
enum class Stored { withLongName, shortOnly };

struct FolderSpec {
  std::string path;
  Stored stored = Stored::withLongName;
};

struct FileSpec {
  std::string name;
  std::uint32_t size = 0;
  Stored stored = Stored::withLongName;
};

// Writes a volume through mtools and keeps the model of what it wrote.
class VolumeRecipe {
 public:
  VolumeRecipe(const std::filesystem::path& image, const PartitionPlan& partition, const std::filesystem::path& scratch)
      : image_(image), partition_(partition), volume_(image, partition.startSector, scratch) {}

  void Folders(const std::vector<FolderSpec>& folders) {
    const Ymd date = NextDate();
    std::vector<std::string> paths;
    for (const FolderSpec& folder : folders) {
      const std::size_t slash = folder.path.rfind('/');
      const int parent = slash == std::string::npos ? kRoot : NodeOf(folder.path.substr(0, slash));
      const std::string name = slash == std::string::npos ? folder.path : folder.path.substr(slash + 1);
      Add({parent, name, true, folder.stored == Stored::shortOnly, 0, date, date}, folder.path);
      paths.push_back(folder.path);
    }
    volume_.MakeFolders(paths, NoonUtc(date));
  }

  void Files(const std::string& folder, const std::vector<FileSpec>& files) {
    const int parent = folder.empty() ? kRoot : NodeOf(folder);
    std::vector<HostFile> host;
    for (const FileSpec& file : files) {
      const Ymd date = NextDate();
      Add({parent, file.name, false, file.stored == Stored::shortOnly, file.size, date, date},
          folder.empty() ? file.name : folder + "/" + file.name);
      host.push_back(PatternFile(file.name, file.size, NoonUtc(date)));
    }
    volume_.CopyFiles(folder, host);
  }

  void Hide(const std::string& path) { volume_.SetHidden(path); }

  // mtools writes the access date equal to the write date; one entry gets
  // another, so that the two columns cannot be mixed up unnoticed.
  void ChangeAccessDate(const std::string& path, const std::string& name11, Ymd date) {
    ASSERT_EQ(PatchAccessDate(image_, partition_.startSector, partition_.sectorCount, name11,
                              DosDate(date.year, date.month, date.day)),
              1)
        << name11;
    nodes_[static_cast<std::size_t>(NodeOf(path))].accessed = date;
  }

  // Asks mshowfat where every item begins, while all of them are still live.
  void RecordFirstClusters() {
    std::vector<std::string> paths;
    for (const auto& [path, node] : byPath_) paths.push_back(path);
    const std::map<std::string, std::uint32_t> clusters = volume_.FirstClusters(paths);
    for (const auto& [path, node] : byPath_) {
      Node& item = nodes_[static_cast<std::size_t>(node)];
      if (!item.isFolder && item.size == 0) continue;
      const auto found = clusters.find(path);
      ASSERT_NE(found, clusters.end()) << "mshowfat gave no cluster for " << path;
      item.firstCluster = found->second;
    }
  }

  void Delete(const std::vector<std::string>& paths) {
    volume_.Delete(paths);
    for (const std::string& path : paths) {
      Node& node = nodes_[static_cast<std::size_t>(NodeOf(path))];
      node.deleted = node.entryDeleted = true;
    }
  }

  void DeleteTree(const std::string& path) {
    volume_.DeleteTree(path);
    MarkSubtreeDeleted(NodeOf(path), true);
  }

  // mdeltree marks every entry of the tree; here only the folder's own entry
  // is marked, so what lies in it counts as deleted through the folder alone.
  void DeleteFolderEntryOnly(const std::string& path, const std::string& name11) {
    ASSERT_EQ(MarkFolderEntryDeleted(image_, partition_.startSector, partition_.sectorCount, name11), 1) << name11;
    const int top = NodeOf(path);
    nodes_[static_cast<std::size_t>(top)].entryDeleted = true;
    MarkSubtreeDeleted(top, false);
  }

  // Every folder and every file, empty ones included, as the scan must list it.
  std::vector<ListedItem> Expected() const {
    std::vector<ListedItem> items;
    for (std::size_t i = 0; i < nodes_.size(); ++i) {
      const Node& node = nodes_[i];
      ListedItem item;
      item.path = ListedPath(static_cast<int>(i));
      item.name = ListedName(node);
      item.isFolder = node.isFolder;
      item.size = node.isFolder ? 0 : node.size;
      item.deleted = node.deleted;
      item.created = ListedDate(node.written);
      item.modified = ListedDate(node.accessed);
      item.firstCluster = node.firstCluster;
      items.push_back(std::move(item));
    }
    return items;
  }

  // The order the walk finds things in: the root, then each live folder
  // found, in the order found (breadth first), then each deleted folder the
  // same way; within a directory, the order the entries were written.
  // Folders come first, then files.
  std::vector<std::string> ExpectedOrder() const {
    std::vector<std::string> folders;
    std::vector<std::string> files;
    std::vector<int> found;  // folders in the order found
    const auto read = [&](int folder) {
      for (std::size_t i = 0; i < nodes_.size(); ++i) {
        const Node& node = nodes_[i];
        if (node.parent != folder) continue;
        if (node.isFolder) {
          folders.push_back(ListedPath(static_cast<int>(i)));
          found.push_back(static_cast<int>(i));
        } else {
          files.push_back(ListedPath(static_cast<int>(i)));
        }
      }
    };
    read(kRoot);
    for (const bool deleted : {false, true}) {
      for (std::size_t next = 0; next < found.size(); ++next) {
        if (nodes_[static_cast<std::size_t>(found[next])].deleted == deleted) read(found[next]);
      }
    }
    folders.insert(folders.end(), files.begin(), files.end());
    return folders;
  }

  std::uint32_t HighestFirstCluster() const {
    std::uint32_t highest = 0;
    for (const Node& node : nodes_) highest = std::max(highest, node.firstCluster);
    return highest;
  }

 private:
  static constexpr int kRoot = -1;

  struct Node {
    int parent;
    std::string name;
    bool isFolder;
    bool shortOnly;
    std::uint32_t size;
    Ymd written;
    Ymd accessed;
    bool deleted = false;       // listed as deleted: its entry or a folder above it is
    bool entryDeleted = false;  // its own entry is marked
    std::uint32_t firstCluster = 0;
  };

  void MarkSubtreeDeleted(int top, bool entries) {
    for (std::size_t i = 0; i < nodes_.size(); ++i) {
      for (int at = static_cast<int>(i); at != kRoot; at = nodes_[static_cast<std::size_t>(at)].parent) {
        if (at != top) continue;
        nodes_[i].deleted = true;
        if (entries) nodes_[i].entryDeleted = true;
      }
    }
  }

  // A deleted 8.3 entry has lost its first character, which reads as 'x'.
  static std::string ListedName(const Node& node) {
    return node.entryDeleted && node.shortOnly ? "x" + node.name.substr(1) : node.name;
  }

  std::string ListedPath(int node) const {
    std::string path;
    for (int at = node; at != kRoot; at = nodes_[static_cast<std::size_t>(at)].parent) {
      const std::string name = ListedName(nodes_[static_cast<std::size_t>(at)]);
      path = path.empty() ? name : name + "/" + path;
    }
    return path;
  }

  // Distinct dates, 11 days apart, so that a date taken from the wrong entry
  // shows.
  Ymd NextDate() {
    const std::int64_t day = 86400;
    return UtcDate(NoonUtc({2003, 2, 10}) + 11 * day * dateCounter_++);
  }

  void Add(Node node, const std::string& path) {
    byPath_[path] = static_cast<int>(nodes_.size());
    nodes_.push_back(std::move(node));
  }

  int NodeOf(const std::string& path) const {
    const auto found = byPath_.find(path);
    if (found == byPath_.end()) throw ToolFailure("the recipe names no item " + path);
    return found->second;
  }

  std::filesystem::path image_;
  PartitionPlan partition_;
  MtoolsVolume volume_;
  std::vector<Node> nodes_;
  std::map<std::string, int> byPath_;
  std::int64_t dateCounter_ = 0;
};

constexpr Stored kShort = Stored::shortOnly;

// The same tree on every volume, but for a file named after the volume and a
// size that depends on it, so that a scan of the wrong volume shows.
void FillVolume(VolumeRecipe& recipe, unsigned number, bool isFat32, bool withBigFile) {
  recipe.Folders({{"Documents"}, {"Photos"}, {"music", kShort}, {"DATA", kShort}, {"Many Files"}, {"Projects"}});
  recipe.Folders({{"Documents/Letters"}, {"Projects/src", kShort}});
  recipe.Folders({{"Documents/Letters/2023", kShort}, {"Projects/src/engine", kShort}});
  if (withBigFile) {
    // 32 MiB of one-sector clusters: every file written after it begins above
    // cluster 65535, where FAT32 needs the entry's high cluster word.
    recipe.Files("", {{"big.bin", 32u << 20, kShort}});
  }
  const std::string marker = "volume-" + std::to_string(number) + (isFat32 ? "-fat32" : "-fat16") + ".txt";
  recipe.Files("", {
                       {"readme.txt", 1200, kShort},
                       {"café.txt", 333, kShort},
                       {"Отчёт.doc", 24576},
                       {"日本語のファイル.txt", 4096},
                       {"A long file name with spaces.text", 5000},
                       {"empty.txt", 0, kShort},
                       {"HIDDEN.SYS", 100, kShort},
                       {marker, 100 + number},
                       {"Old Draft.doc", 12000},  // 13 characters: one full long-name entry
                       {"plan.txt", 800, kShort},
                   });
  recipe.Files("Documents", {
                                {"report.doc", 48000 + number, kShort},
                                {"one-sector.txt", 512},
                                {"one-byte.txt", 1, kShort},
                                {"budget-2023.xls", 513},
                                {"Quarterly-Report-2023.xlsx", 7000},  // 26 characters: two full entries
                            });
  recipe.Files("Documents/Letters", {{"letter-to-bank.txt", 2100}});
  recipe.Files("Documents/Letters/2023", {{"résumé.pdf", 70000, kShort}, {"MEMO.TXT", 300, kShort}});
  recipe.Files("Photos", {{"img_0001.jpg", 300000, kShort}, {"Holiday Panorama.png", 400000}});
  recipe.Files("music", {{"song.mp3", 3000, kShort}});
  recipe.Files("DATA", {{"TABLE.DAT", 4000, kShort}});
  // Enough long names for a directory of several clusters, whose long names
  // cross sector and cluster boundaries.
  std::vector<FileSpec> many;
  for (int i = 1; i <= 40; ++i) {
    const std::string number2 = (i < 10 ? "0" : "") + std::to_string(i);
    many.push_back({"file number " + number2 + " with a long name.txt", static_cast<std::uint32_t>(10 + 37 * i)});
  }
  recipe.Files("Many Files", many);
  recipe.Files("Projects", {{"notes.txt", 800, kShort}});
  recipe.Files("Projects/src", {{"main.c", 15000, kShort}});
  recipe.Files("Projects/src/engine", {{"core.c", 33000, kShort}, {"core.h", 1500, kShort}, {"Engine Design.md", 2000}});
  recipe.Hide("HIDDEN.SYS");
  recipe.ChangeAccessDate("readme.txt", "README  TXT", {2022, 3, 4});
  recipe.RecordFirstClusters();
  // Deleted last, so that nothing written afterwards takes their clusters.
  recipe.Delete({"Old Draft.doc", "plan.txt", "Documents/Quarterly-Report-2023.xlsx",
                 "Many Files/file number 07 with a long name.txt"});
  recipe.DeleteTree("Projects");
  recipe.DeleteFolderEntryOnly("DATA", "DATA       ");
}

std::string KeyOf(const ListedItem& item) { return item.path ? *item.path : "(unreachable) " + item.name; }

struct VolumeCase {
  const char* name;
  unsigned number;  // as `salvex partitions` numbers it
  bool withBigFile;
};

void PrintTo(const VolumeCase& volume, std::ostream* out) { *out << "partition " << volume.number; }

class ToolImageScan : public ::testing::TestWithParam<VolumeCase> {};

TEST_P(ToolImageScan, ListsExactlyWhatWasWritten) {
  SALVEX_REQUIRE_IMAGE_TOOLS();
  const VolumeCase& param = GetParam();
  TempDir dir;
  const auto image = dir / "disk.img";
  const DiskPlan plan = FourVolumeDisk();
  BuildDisk(image, plan);
  const std::vector<PartitionPlan> fat = FatPartitions(plan);
  ASSERT_LE(param.number, fat.size());
  const PartitionPlan& partition = fat[param.number - 1];

  // The other volumes hold one file each: it must not appear in this scan.
  for (unsigned other = 1; other <= fat.size(); ++other) {
    if (other == param.number) continue;
    MtoolsVolume(image, fat[other - 1].startSector, dir.Path())
        .CopyFiles("", {PatternFile("other-volume-" + std::to_string(other) + ".txt", 64, NoonUtc({2010, 1, 1}))});
  }
  VolumeRecipe recipe(image, partition, dir.Path());
  FillVolume(recipe, param.number, partition.kind == VolumeKind::fat32, param.withBigFile);
  if (HasFatalFailure()) return;
  if (param.withBigFile) {
    ASSERT_GT(recipe.HighestFirstCluster(), 0xFFFFu) << "the volume does not reach the high cluster word";
  }
  const std::vector<ListedItem> expected = recipe.Expected();

  {
    SCOPED_TRACE("through the engine");
    const LibraryScan scan = ScanThroughLibrary(image, param.number);
    ASSERT_EQ(scan.openError, "");
    ASSERT_TRUE(scan.selected);
    EXPECT_EQ(scan.outcome, StandardScanOutcome::completed);
    EXPECT_TRUE(scan.notices.empty()) << scan.notices.front();
    EXPECT_EQ(DiffItems(scan.items, expected), "");
  }
  {
    SCOPED_TRACE("through salvex scan --json");
    const SalvexRun run =
        RunSalvex(SALVEX_BINARY, "scan " + ShellQuote(image.string()) + " --partition " + std::to_string(param.number) +
                                     " --json",
                  dir.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::vector<ListedItem> listed = ItemsFromScanJson(run.out);
    EXPECT_EQ(DiffItems(listed, expected), "");

    std::vector<std::string> order;
    for (const ListedItem& item : listed) order.push_back(KeyOf(item));
    EXPECT_EQ(order, recipe.ExpectedOrder());

    std::set<std::uint64_t> fileIds;
    for (const ListedItem& item : listed) {
      if (!item.isFolder) {
        EXPECT_TRUE(fileIds.insert(item.id).second) << "id used twice: " << Describe(item);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Volumes, ToolImageScan,
                         ::testing::Values(VolumeCase{"PrimaryFat32", 1, true}, VolumeCase{"LogicalFat16", 2, false},
                                           VolumeCase{"LogicalFat32", 3, false},
                                           VolumeCase{"LogicalFat16OneSectorClusters", 4, false}),
                         [](const ::testing::TestParamInfo<VolumeCase>& volume) { return volume.param.name; });

// The table walk lists the FAT partitions, primary and logical, in table and
// chain order, and skips the Linux partition and the extended container.
TEST(ToolImagePartitions, ListsEveryFatPartitionOfTheTables) {
  SALVEX_REQUIRE_IMAGE_TOOLS();
  TempDir dir;
  const auto image = dir / "disk.img";
  const DiskPlan plan = FourVolumeDisk();
  BuildDisk(image, plan);
  const std::vector<PartitionPlan> fat = FatPartitions(plan);

  const LibraryScan library = ScanThroughLibrary(image, 0);
  ASSERT_EQ(library.openError, "");
  ASSERT_EQ(library.partitions.partitionCount, fat.size());
  for (std::size_t i = 0; i < fat.size(); ++i) {
    SCOPED_TRACE("partition " + std::to_string(i + 1));
    const PartitionRecord& record = library.partitions.records[i];
    EXPECT_EQ(record.startSector, fat[i].startSector);
    EXPECT_EQ(record.sectorCount, fat[i].sectorCount);
    EXPECT_EQ(record.fsType, fat[i].kind == VolumeKind::fat32 ? FsType::fat32 : FsType::fat16);
  }

  const SalvexRun run = RunSalvex(SALVEX_BINARY, "partitions " + ShellQuote(image.string()) + " --json", dir.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  const JsonValue records = ParseJson(run.out);
  ASSERT_EQ(records.items.size(), fat.size()) << run.out;
  for (std::size_t i = 0; i < fat.size(); ++i) {
    SCOPED_TRACE("partition " + std::to_string(i + 1));
    const JsonValue& record = records.items[i];
    const std::string type = fat[i].kind == VolumeKind::fat32 ? "FAT32" : "FAT16";
    EXPECT_EQ(record.At("index").Num(), i + 1);
    EXPECT_EQ(record.At("startSector").Num(), fat[i].startSector);
    EXPECT_EQ(record.At("sectorCount").Num(), fat[i].sectorCount);
    EXPECT_EQ(record.At("fsType").Str(), type);
    EXPECT_EQ(record.At("caption").Str(), "Partition " + std::to_string(i + 1) + " - " + type);
  }
}

}  // namespace
}  // namespace salvex::testing
