// The salvex program end to end: every command on a tool-made image, the
// image's bytes unchanged afterwards, and one clear line and a failing status
// for each kind of bad input.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/json_value.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

#define SALVEX_REQUIRE_IMAGE_TOOLS() SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mmd", "mdel", "mshowfat")

// A FAT16 primary partition, an NTFS entry (type 07, a boot sector saying
// "NTFS" and nothing more), and a logical FAT32 partition that ends exactly
// at the disk's end.
constexpr std::uint32_t kDiskSectors = 110592;

DiskPlan CliDisk() {
  DiskPlan plan;
  plan.totalSectors = kDiskSectors;
  plan.extendedStart = 38912;
  plan.extendedSectors = kDiskSectors - 38912;
  plan.partitions = {
      {VolumeKind::fat16, false, 2048, 32768, 0x06, 4, "CLIDISK"},
      {VolumeKind::ntfsStub, false, 34816, 4096, 0x07, 0, ""},
      {VolumeKind::fat32, true, 40960, kDiskSectors - 40960, 0x0C, 1, "CLIDISK32"},
  };
  return plan;
}

struct CliDiskImage {
  std::filesystem::path image;
  DiskPlan plan;
  std::vector<ListedItem> fat32Items;  // what a scan of partition 3 lists
};

ListedItem FileItem(const std::string& path, std::uint32_t size, bool deleted, Ymd date, std::uint32_t cluster) {
  ListedItem item;
  item.path = path;
  item.name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
  item.size = size;
  item.deleted = deleted;
  item.created = item.modified = ListedDate(date);
  item.firstCluster = cluster;
  return item;
}

CliDiskImage MakeCliDisk(const TempDir& dir) {
  CliDiskImage disk{dir / "cli disk.img", CliDisk(), {}};
  BuildDisk(disk.image, disk.plan);

  const Ymd folderDate{2011, 4, 5};
  const Ymd fileDate{2012, 6, 7};
  const std::int64_t fileTime = NoonUtc(fileDate);
  MtoolsVolume fat16(disk.image, disk.plan.partitions[0].startSector, dir.Path());
  fat16.MakeFolders({"Docs"}, NoonUtc(folderDate));
  fat16.CopyFiles("", {PatternFile("notes.txt", 2000, fileTime), PatternFile("gone.txt", 300, fileTime),
                       PatternFile("zero.txt", 0, fileTime)});
  fat16.CopyFiles("Docs", {PatternFile("letter.txt", 1000, fileTime)});
  fat16.Delete({"gone.txt"});

  MtoolsVolume fat32(disk.image, disk.plan.partitions[2].startSector, dir.Path());
  fat32.MakeFolders({"Reports"}, NoonUtc(folderDate));
  fat32.CopyFiles("Reports", {PatternFile("summary 2024.txt", 5000, fileTime)});
  fat32.CopyFiles("", {PatternFile("data.bin", 70000, fileTime)});
  const auto clusters = fat32.FirstClusters({"Reports", "Reports/summary 2024.txt", "data.bin"});
  ListedItem folder;
  folder.path = folder.name = "Reports";
  folder.isFolder = true;
  folder.created = folder.modified = ListedDate(folderDate);
  folder.firstCluster = clusters.at("Reports");
  disk.fat32Items = {folder, FileItem("Reports/summary 2024.txt", 5000, false, fileDate, clusters.at("Reports/summary 2024.txt")),
                     FileItem("data.bin", 70000, false, fileDate, clusters.at("data.bin"))};
  return disk;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Each command must succeed, print what it promises and write nothing.
TEST(Cli, EveryCommandSucceedsAndLeavesTheImageUnchanged) {
  SALVEX_REQUIRE_IMAGE_TOOLS();
  TempDir dir;
  const CliDiskImage disk = MakeCliDisk(dir);
  const std::string image = ShellQuote(disk.image.string());
  const std::uint64_t before = FileFingerprint(disk.image);
  const auto run = [&](const std::string& arguments) {
    SalvexRun result = RunSalvex(SALVEX_BINARY, arguments, dir.Path());
    EXPECT_EQ(result.status, 0) << arguments << "\n" << result.err;
    EXPECT_EQ(result.err, "") << arguments;
    return result;
  };

  {
    SCOPED_TRACE("disks");
    const std::string out = run("disks " + image).out;
    // Images are described with 255 heads and 63 sectors per track; the
    // capacity is the image's size.
    const std::uint32_t cylinders = kDiskSectors / (255 * 63);
    const std::vector<std::string> lines = Lines(out);
    const auto caption = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.rfind("Storage Device", 0) == 0 && line.ends_with("  " + disk.image.string());
    });
    ASSERT_NE(caption, lines.end()) << out;
    ASSERT_GE(lines.end() - caption, 6) << out;
    EXPECT_EQ(caption[1], "  Model: Disk image");
    EXPECT_EQ(caption[2], "  Capacity: " + std::to_string(kDiskSectors / 2048) + " MB ( Approx )");
    EXPECT_EQ(caption[3], "  Cylinders: " + std::to_string(cylinders));
    EXPECT_EQ(caption[4], "  Head: 255");
    EXPECT_EQ(caption[5], "  Sectors Per Track: 63");
  }
  {
    SCOPED_TRACE("partitions");
    EXPECT_EQ(run("partitions " + image).out,
              "Partition 1 - FAT16  start 2048  end 34815  size 16 MB\n"
              "Partition 2 - NTFS  start 34816  end 38911  size 2 MB\n"
              "Partition 3 - FAT32  start 40960  end 110591  size 34 MB\n");
  }
  {
    SCOPED_TRACE("partitions --json");
    const JsonValue records = ParseJson(run("partitions " + image + " --json").out);
    const char* const types[] = {"FAT16", "NTFS", "FAT32"};
    ASSERT_EQ(records.items.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
      const PartitionPlan& planned = disk.plan.partitions[i];
      const JsonValue& record = records.items[i];
      EXPECT_EQ(record.At("index").Num(), i + 1);
      EXPECT_EQ(record.At("startSector").Num(), planned.startSector);
      EXPECT_EQ(record.At("sectorCount").Num(), planned.sectorCount);
      EXPECT_EQ(record.At("fsType").Str(), types[i]);
      EXPECT_EQ(record.At("caption").Str(), "Partition " + std::to_string(i + 1) + " - " + types[i]);
    }
  }
  std::string fat16Listing;
  {
    SCOPED_TRACE("scan --partition");
    fat16Listing = run("scan " + image + " --partition 1").out;
    const std::vector<std::string> lines = Lines(fat16Listing);
    ASSERT_GE(lines.size(), 3u) << fat16Listing;
    // mkfs.fat was given 4 sectors per cluster.
    EXPECT_EQ(lines[0], "FAT16 volume, sectors 2048 to 34815, 2048 bytes per cluster");
    EXPECT_EQ(lines[1], "1 folder(s), 4 file(s) found");
    const auto rowOf = [&](const std::string& name) {
      for (const std::string& line : lines) {
        if (line.find(" " + name + " ") != std::string::npos) return line;
      }
      return std::string();
    };
    EXPECT_EQ(rowOf("Docs").rfind("    ", 0), 0u) << fat16Listing;
    EXPECT_NE(rowOf("notes.txt").find(" 2000 "), std::string::npos) << fat16Listing;
    EXPECT_NE(rowOf("letter.txt").find(" 1000 "), std::string::npos) << fat16Listing;
    // A deleted 8.3 entry has lost its first letter.
    EXPECT_EQ(rowOf("xone.txt").rfind("DEL ", 0), 0u) << fat16Listing;
    EXPECT_NE(rowOf("xone.txt").find(" 300 "), std::string::npos) << fat16Listing;
    EXPECT_NE(rowOf("zero.txt").find(" 0 "), std::string::npos) << "an empty file is listed: " << fat16Listing;
  }
  {
    SCOPED_TRACE("scan --start --size --type");
    EXPECT_EQ(run("scan " + image + " --start 2048 --size 32768 --type fat16").out, fat16Listing);
  }
  std::string fat32Json;
  {
    SCOPED_TRACE("scan --partition --json");
    fat32Json = run("scan " + image + " --partition 3 --json").out;
    EXPECT_EQ(DiffItems(ItemsFromScanJson(fat32Json), disk.fat32Items), "") << fat32Json;
  }
  {
    SCOPED_TRACE("scan --start --size --type --json, up to the disk's last sector");
    EXPECT_EQ(run("scan " + image + " --start 40960 --size " + std::to_string(kDiskSectors - 40960) +
                  " --type fat32 --json")
                  .out,
              fat32Json);
  }
  {
    SCOPED_TRACE("recover --all");
    const auto out = dir / "recovered";
    const SalvexRun result = RunSalvex(SALVEX_BINARY, "recover " + image + " --partition 1 --all --out " +
                                                          ShellQuote(out.string()), dir.Path());
    EXPECT_EQ(result.status, 0) << result.err;
    // The only thing it may say on stderr: the folder shares the image's file system.
    for (const std::string& line : Lines(result.err)) EXPECT_EQ(line.rfind("salvex: warning: ", 0), 0u) << line;
    // Every file, the deleted one under its 'x' name, byte for byte.
    const std::map<std::string, std::string> wanted = {
        {"notes.txt", HighBytes("notes.txt", 2000)},
        {"xone.txt", HighBytes("gone.txt", 300)},
        {"Docs/letter.txt", HighBytes("letter.txt", 1000)},
        {"zero.txt", ""},
    };
    std::map<std::string, std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(out)) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::ostringstream bytes;
      bytes << in.rdbuf();
      found[std::filesystem::relative(entry.path(), out).string()] = bytes.str();
    }
    std::vector<std::string> foundNames;
    for (const auto& [name, bytes] : found) foundNames.push_back(name);
    std::vector<std::string> wantedNames;
    for (const auto& [name, bytes] : wanted) wantedNames.push_back(name);
    EXPECT_EQ(foundNames, wantedNames);
    for (const auto& [name, bytes] : wanted) {
      const auto got = found.find(name);
      if (got != found.end()) {
        EXPECT_TRUE(got->second == bytes) << name << " was recovered with other bytes";
      }
    }
  }
  EXPECT_EQ(FileFingerprint(disk.image), before) << "a command changed the image";
}

// A copy of a failing disk that stopped early: the FAT32 partition's last
// sectors are missing, and a sector range that passes the end is read as
// far as the image goes, as the partition itself is.
TEST(Cli, ACutShortImageIsScannedAsFarAsItGoes) {
  SALVEX_REQUIRE_IMAGE_TOOLS();
  TempDir dir;
  const CliDiskImage disk = MakeCliDisk(dir);
  constexpr std::uint32_t kKept = kDiskSectors - 5000;
  std::filesystem::resize_file(disk.image, std::uint64_t{kKept} * 512);
  const std::string range = "--start 40960 --size " + std::to_string(kDiskSectors - 40960) + " --type fat32";

  const SalvexRun byRange = RunSalvex(SALVEX_BINARY, "scan " + ShellQuote(disk.image.string()) + " " + range +
                                                         " --json", dir.Path());
  const SalvexRun byPartition =
      RunSalvex(SALVEX_BINARY, "scan " + ShellQuote(disk.image.string()) + " --partition 3 --json", dir.Path());

  EXPECT_EQ(byRange.status, 0) << byRange.err;
  EXPECT_NE(byRange.err.find("warning: sectors 40960 to " + std::to_string(kDiskSectors - 1) + " pass the end"),
            std::string::npos)
      << byRange.err;
  EXPECT_EQ(DiffItems(ItemsFromScanJson(byRange.out), disk.fat32Items), "");
  EXPECT_EQ(byRange.out, byPartition.out);
  EXPECT_EQ(byPartition.err, byRange.err) << "the partition passes the end as the range does";
}

TEST(CliErrors, ASearchThatFindsNoPartitionFails) {
  TempDir dir;
  const auto blank = dir / "blank.img";
  std::ofstream(blank, std::ios::binary) << std::string(4 << 20, '\0');

  const SalvexRun run = RunSalvex(SALVEX_BINARY, "search-partitions " + ShellQuote(blank.string()), dir.Path());

  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "salvex: error: No partition found, use advance mode to recover the data\n");
  const SalvexRun tables = RunSalvex(SALVEX_BINARY, "partitions " + ShellQuote(blank.string()), dir.Path());
  EXPECT_EQ(tables.status, 1) << "finding no partition in the tables fails as the search does";
  EXPECT_EQ(tables.out.rfind("No FAT12, FAT16, FAT32, exFAT or NTFS partitions found in the partition tables of ", 0), 0u)
      << tables.out;
}

struct BadInput {
  const char* name;
  std::string arguments;  // IMAGE, MISSING, FOLDER and TINY stand for the paths
  std::string message;    // a part of the one-line error
};

TEST(CliErrors, BadInputFailsWithOneClearLine) {
  SALVEX_REQUIRE_IMAGE_TOOLS();
  TempDir dir;
  const auto image = dir / "disk.img";
  BuildDisk(image, CliDisk());
  const auto tiny = dir / "tiny.img";
  std::ofstream(tiny, std::ios::binary) << std::string(511, '\0');
  const auto folder = dir / "a folder";
  std::filesystem::create_directory(folder);
  const auto missing = dir / "missing.img";
  const std::uint64_t before = FileFingerprint(image);

  const std::vector<BadInput> cases = {
      {"missing image, partitions", "partitions MISSING", "cannot open MISSING: No such file or directory"},
      {"missing image, scan", "scan MISSING --partition 1", "cannot open MISSING: No such file or directory"},
      {"folder, partitions", "partitions FOLDER", "FOLDER is not a disk image"},
      {"folder, scan", "scan FOLDER --partition 1", "FOLDER is not a disk image"},
      {"smaller than a sector, partitions", "partitions TINY", "TINY is not a disk image"},
      {"smaller than a sector, scan", "scan TINY --partition 1", "TINY is not a disk image"},
      {"partition 0", "scan IMAGE --partition 0", "partition 0 does not exist"},
      {"partition past the last", "scan IMAGE --partition 4", "partition 4 does not exist"},
      {"partition and range", "scan IMAGE --partition 1 --start 2048", "either --partition or a sector range"},
      {"range without type", "scan IMAGE --start 2048 --size 100", "needs --start, --size and --type"},
      {"empty range", "scan IMAGE --start 2048 --size 0 --type fat16", "at least 1 sector"},
      {"range starting past the end", "scan IMAGE --start " + std::to_string(kDiskSectors) + " --size 1 --type fat32",
       "lies past the end of the disk"},
      {"range far past the end", "scan IMAGE --start 4294967295 --size 4294967295 --type fat32",
       "lies past the end of the disk"},
      {"range past what a byte offset reaches", "scan IMAGE --start 36028797018963967 --size 2 --type fat32",
       "cannot be read (their byte offsets pass 64 bits)"},
      {"sweep past the end", "deep-scan IMAGE --fs fat16 --start 999999 --end 1999999",
       "lies past the end of the disk"},
      // Sectors that hold no FAT volume: no geometry from a boot sector, none
      // from directories.
      {"range without a file system", "scan IMAGE --start 34817 --size 2000 --type fat16", ""},
      // The NTFS entry's boot sector says "NTFS" and holds nothing else: the
      // command may refuse NTFS or find nothing to scan, but says so once.
      {"NTFS partition", "scan IMAGE --partition 2", ""},
      {"NTFS range", "scan IMAGE --start 34816 --size 4096 --type ntfs", ""},
  };
  for (const BadInput& bad : cases) {
    SCOPED_TRACE(bad.name);
    const auto paths = [&](const std::string& text) {
      std::string out = Substitute(text, "IMAGE", image.string());
      out = Substitute(out, "MISSING", missing.string());
      out = Substitute(out, "FOLDER", folder.string());
      return Substitute(out, "TINY", tiny.string());
    };
    const auto quoted = [&](const std::string& text) {
      std::string out = Substitute(text, "IMAGE", ShellQuote(image.string()));
      out = Substitute(out, "MISSING", ShellQuote(missing.string()));
      out = Substitute(out, "FOLDER", ShellQuote(folder.string()));
      return Substitute(out, "TINY", ShellQuote(tiny.string()));
    };
    const SalvexRun run = RunSalvex(SALVEX_BINARY, quoted(bad.arguments), dir.Path());
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.out, "");
    const std::vector<std::string> lines = Lines(run.err);
    EXPECT_EQ(lines.size(), 1u) << run.err;
    if (lines.empty()) continue;
    EXPECT_EQ(lines[0].rfind("salvex: error: ", 0), 0u) << run.err;
    EXPECT_NE(lines[0].find(paths(bad.message)), std::string::npos) << run.err;
  }

  {
    SCOPED_TRACE("unknown type");
    const SalvexRun run =
        RunSalvex(SALVEX_BINARY, "scan " + ShellQuote(image.string()) + " --start 2048 --size 100 --type hpfs", dir.Path());
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.out, "");
    // A usage error: the option parser's line, which names the bad value
    // and the choices, may be followed by its hint to run --help.
    const std::vector<std::string> lines = Lines(run.err);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("hpfs"), std::string::npos) << run.err;
    EXPECT_NE(lines[0].find("fat16"), std::string::npos) << run.err;
  }
  EXPECT_EQ(FileFingerprint(image), before) << "a failing command changed the image";
}

// `disks` lists images without opening them, but it must not offer as a
// disk what the other commands refuse to open.
TEST(CliErrors, DisksRefusesWhatIsNotADiskImage) {
  TempDir dir;
  const auto tiny = dir / "tiny.img";
  std::ofstream(tiny, std::ios::binary) << std::string(511, '\0');
  const auto folder = dir / "a folder";
  std::filesystem::create_directory(folder);
  const auto missing = dir / "missing.img";
  const auto fifo = dir / "fifo.img";  // would wait for a writer if opened plainly
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  const struct {
    const char* name;
    std::filesystem::path path;
    std::string message;
  } cases[] = {
      {"missing", missing, "cannot open " + missing.string()},
      {"folder", folder, folder.string()},
      {"smaller than a sector", tiny, tiny.string() + " is not a disk image"},
      {"a FIFO", fifo, fifo.string() + " is not a disk image"},
  };
  for (const auto& bad : cases) {
    SCOPED_TRACE(bad.name);
    const SalvexRun run = RunSalvex(SALVEX_BINARY, "disks " + ShellQuote(bad.path.string()), dir.Path());
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.out.find(bad.path.string()), std::string::npos) << "listed as a disk:\n" << run.out;
    const std::vector<std::string> lines = Lines(run.err);
    EXPECT_EQ(lines.size(), 1u) << run.err;
    if (lines.empty()) continue;
    EXPECT_EQ(lines[0].rfind("salvex: error: ", 0), 0u) << run.err;
    EXPECT_NE(lines[0].find(bad.message), std::string::npos) << run.err;
  }
}

TEST(CliErrors, UnreadableImageNamesTheReason) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads files whatever their mode";
  SALVEX_REQUIRE_IMAGE_TOOLS();
  TempDir dir;
  const auto image = dir / "locked.img";
  BuildDisk(image, CliDisk());
  ASSERT_EQ(::chmod(image.c_str(), 0), 0);
  for (const std::string command : {"partitions", "scan"}) {
    SCOPED_TRACE(command);
    const std::string extra = command == "scan" ? " --partition 1" : "";
    const SalvexRun run = RunSalvex(SALVEX_BINARY, command + " " + ShellQuote(image.string()) + extra, dir.Path());
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "salvex: error: cannot open " + image.string() +
                           ": Permission denied (run as root or join the disk group)\n");
  }
  ::chmod(image.c_str(), 0600);
}

}  // namespace
}  // namespace salvex::testing
