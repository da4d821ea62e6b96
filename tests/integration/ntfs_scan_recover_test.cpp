// salvex scan and recover on NTFS volumes made by mkntfs and filled by ntfscp
// (root files only) or through an ntfs-3g mount (folders, a folder whose
// index leaves its record, deleted files): the listing holds exactly what
// was written, and every file comes back byte for byte under its name.

#include <gtest/gtest.h>

#include <sys/xattr.h>

#include <cerrno>
#include <cstring>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/ntfs_tool_volume.h"
#include "support/recovery_bench.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

#define SALVEX_REQUIRE_NTFS_TOOLS() SALVEX_REQUIRE_TOOLS("mkntfs", "ntfscp", "ntfsinfo", "sfdisk", "dd")

// 32 MiB volumes behind a partition table, from sector 2048.
constexpr std::uint32_t kVolumeSectors = 65536;
constexpr std::uint32_t kPartitionStart = 2048;

struct Planted {
  std::string path;
  std::string bytes;
  bool deleted = false;
};

struct PlantedFolder {
  std::string path;
  bool deleted = false;
};

void WriteHostFile(const fs::path& path, const std::string& bytes, std::ios::openmode mode = std::ios::trunc) {
  std::ofstream out(path, std::ios::binary | mode);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw ToolFailure("cannot write " + path.string());
}

// "folder PATH", "file PATH SIZE" and " deleted" when so, for every item
// that is not NTFS's own.
std::vector<std::string> Described(const std::vector<NtfsListedItem>& items) {
  std::vector<std::string> lines;
  for (const NtfsListedItem& item : items) {
    const std::string path = item.path ? *item.path : "(unreachable) " + item.name;
    if (IsNtfsMetadataPath(path)) continue;
    std::string line = item.folder ? "folder " + path : "file " + path + " " + std::to_string(item.size);
    if (item.deleted) line += " deleted";
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> Described(const std::vector<Planted>& files, const std::vector<PlantedFolder>& folders) {
  std::vector<std::string> lines;
  for (const PlantedFolder& folder : folders) lines.push_back("folder " + folder.path + (folder.deleted ? " deleted" : ""));
  for (const Planted& file : files) {
    lines.push_back("file " + file.path + " " + std::to_string(file.bytes.size()) + (file.deleted ? " deleted" : ""));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

class NtfsToolImageTest : public ::testing::Test {
 protected:
  // Runs salvex; the disk must come out of it unchanged.
  SalvexRun Salvex(const std::string& arguments) { return RunSalvexReading(SALVEX_BINARY, disk, arguments, dir.Path()); }

  std::string Disk() const { return ShellQuote(disk.string()); }

  // The listing of `scan --partition 1 --json`, NTFS's own files left out.
  std::vector<std::string> ScanListing() {
    const SalvexRun run = Salvex("scan " + Disk() + " --partition 1 --json");
    EXPECT_EQ(run.status, 0) << run.err;
    return Described(NtfsItemsFromJson(run.out));
  }

  // Recovers everything into `out` and checks every planted file that has
  // bytes; returns the summary salvex printed.
  std::string RecoverAllAndCompare(const fs::path& out, const std::vector<Planted>& files,
                                   const std::vector<PlantedFolder>& folders) {
    const SalvexRun run = Salvex("recover " + Disk() + " --partition 1 --all --out " + ShellQuote(out.string()));
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    std::vector<std::string> expected;
    for (const PlantedFolder& folder : folders) expected.push_back(folder.path + "/");
    for (const Planted& file : files) {
      // A file of 0 bytes is counted, not created.
      if (file.bytes.empty()) continue;
      expected.push_back(file.path);
      EXPECT_TRUE(ReadWholeFile(out / file.path) == file.bytes) << file.path << " came back with other bytes";
    }
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> tree = TreeBelow(out);
    std::erase_if(tree, [](const std::string& path) { return IsNtfsMetadataPath(path); });
    EXPECT_EQ(LineDifference(tree, expected), "");
    return run.out;
  }

  TempDir dir;
  fs::path disk = dir / "ntfs disk.img";
};

// --- Root files through ntfscp ------------------------------------------------

TEST_F(NtfsToolImageTest, RootFilesCopiedWithNtfscpAreListedAndRecoveredByteForByte) {
  SALVEX_REQUIRE_NTFS_TOOLS();
  NtfsToolVolume volume(dir / "volume.ntfs", kVolumeSectors);
  std::vector<Planted> files;
  const auto copy = [&](const std::string& name, std::size_t size) {
    files.push_back({name, HighBytes(name + std::to_string(size), size)});
    volume.CopyIn(name, files.back().bytes);
  };
  copy("small.txt", 100);    // resident: the bytes sit in the record
  copy("half.bin", 600);     // resident, across the record's first sector end
  copy("big.bin", 300'000);  // non-resident
  copy("Отчёт.txt", 5000);
  copy("日本語.txt", 700);
  copy("café.txt", 300);
  copy("empty.txt", 0);
  // frag.bin grows past after.bin, which was written behind it: its data
  // continues in the next free clusters.
  copy("frag.bin", 9000);
  copy("after.bin", 9000);
  copy("grow.bin", 100);
  copy("frag.bin", 200'000);
  copy("grow.bin", 50'000);  // resident at first, then on clusters of its own
  // Each name once, with its last bytes.
  std::map<std::string, Planted> last;
  for (const Planted& file : files) last[file.path] = file;
  files.clear();
  for (const auto& [name, file] : last) files.push_back(file);
  ASSERT_GE(volume.DataRuns("frag.bin"), 2) << "frag.bin was meant to be fragmented";
  volume.PlaceInDisk(disk, kPartitionStart);

  EXPECT_EQ(LineDifference(ScanListing(), Described(files, {})), "");

  const std::string summary = RecoverAllAndCompare(dir / "out", files, {});
  // $Boot's data is the volume's first two clusters: its boot sector and
  // boot code, read back from where the volume lies on the disk.
  const std::string volumeBytes = ReadWholeFile(volume.Path());
  EXPECT_TRUE(ReadWholeFile(dir / "out" / "$Boot") == volumeBytes.substr(0, 8192)) << "$Boot";
  EXPECT_NE(summary.find("empty file(s): nothing to recover"), std::string::npos) << summary;
}

// --- Folders and deletions through an ntfs-3g mount -----------------------------

TEST_F(NtfsToolImageTest, AMountedVolumesFoldersAndDeletedFilesAreListedAndRecovered) {
  SALVEX_REQUIRE_NTFS_TOOLS();
  NtfsToolVolume volume(dir / "volume.ntfs", kVolumeSectors);
  std::string why;
  std::unique_ptr<NtfsMount> mount = NtfsMount::Open(volume.Path(), dir / "mnt", why);
  if (!mount) GTEST_SKIP() << why;
  const fs::path root = mount->Dir();

  std::vector<PlantedFolder> folders = {{"Docs"}, {"Docs/Old"}, {"Many"}, {"Отчёты"}, {"Trash"}};
  for (const PlantedFolder& folder : folders) fs::create_directory(root / folder.path);
  std::vector<Planted> files;
  const auto write = [&](const std::string& path, std::size_t size) {
    files.push_back({path, HighBytes(path, size)});
    WriteHostFile(root / path, files.back().bytes);
  };
  write("Docs/letter.txt", 5000);
  write("Docs/Old/memo.txt", 300);
  write("Отчёты/日本語.txt", 2000);
  write("Отчёты/café.txt", 50);
  // 70 entries do not fit in Many's record: its index moves to index blocks.
  for (int i = 1; i <= 70; ++i) write("Many/file " + std::to_string(i) + ".txt", 37 * static_cast<std::size_t>(i));
  // a.bin grows after b.bin was written behind it.
  write("a.bin", 10'000);
  write("b.bin", 10'000);
  const std::string more = HighBytes("a.bin more", 30'000);
  WriteHostFile(root / "a.bin", more, std::ios::app);
  files[files.size() - 2].bytes += more;
  // Deleted last, so that nothing takes their clusters.
  write("gone.bin", 20'000);
  write("Trash/thrown.bin", 9000);
  fs::remove(root / "gone.bin");
  fs::remove_all(root / "Trash");
  ASSERT_TRUE(mount->Close()) << "ntfs-3g did not end cleanly";
  ASSERT_TRUE(volume.HasIndexAllocation("Many"));
  ASSERT_GE(volume.DataRuns("a.bin"), 2) << "a.bin was meant to be fragmented";

  // What deleting left: a freed record still holds its name, and is then a
  // deleted item; a record wiped or reused is no item at all.
  const auto keepIfLeft = [&](const std::string& path, const std::u16string& name, std::uint8_t freedFlags) {
    const auto flags = volume.RecordFlagsOf(name);
    const bool left = flags && *flags == freedFlags;
    for (Planted& file : files) {
      if (file.path == path) file.deleted = true;
    }
    for (PlantedFolder& folder : folders) {
      if (folder.path == path) folder.deleted = true;
    }
    if (!left) {
      std::erase_if(files, [&](const Planted& file) { return file.path.starts_with(path); });
      std::erase_if(folders, [&](const PlantedFolder& folder) { return folder.path.starts_with(path); });
    }
  };
  keepIfLeft("gone.bin", u"gone.bin", 0);
  keepIfLeft("Trash/thrown.bin", u"thrown.bin", 0);
  keepIfLeft("Trash", u"Trash", 2);
  volume.PlaceInDisk(disk, kPartitionStart);

  EXPECT_EQ(LineDifference(ScanListing(), Described(files, folders)), "");

  RecoverAllAndCompare(dir / "out", files, folders);
}

TEST_F(NtfsToolImageTest, AFileInHundredsOfPiecesIsListedAndRecovered) {
  SALVEX_REQUIRE_NTFS_TOOLS();
  NtfsToolVolume volume(dir / "volume.ntfs", kVolumeSectors);
  std::string why;
  std::unique_ptr<NtfsMount> mount = NtfsMount::Open(volume.Path(), dir / "mnt", why);
  if (!mount) GTEST_SKIP() << why;
  // Two files grown a cluster at a time, in turns: each ends in 400 pieces,
  // more runs than a record holds, so ntfs-3g spreads the file's attributes
  // over several records.
  std::vector<Planted> files = {{"pieces.bin", ""}, {"between.bin", ""}};
  {
    std::ofstream pieces(mount->Dir() / "pieces.bin", std::ios::binary);
    std::ofstream between(mount->Dir() / "between.bin", std::ios::binary);
    for (int i = 0; i < 400; ++i) {
      for (Planted& file : files) {
        const std::string cluster = HighBytes(file.path + std::to_string(i), 4096);
        file.bytes += cluster;
        std::ofstream& out = file.path == "pieces.bin" ? pieces : between;
        out.write(cluster.data(), static_cast<std::streamsize>(cluster.size()));
        out.flush();
      }
    }
  }
  ASSERT_TRUE(mount->Close()) << "ntfs-3g did not end cleanly";
  ASSERT_GE(volume.DataRuns("pieces.bin"), 100) << "pieces.bin was meant to be in pieces";
  volume.PlaceInDisk(disk, kPartitionStart);

  EXPECT_EQ(LineDifference(ScanListing(), Described(files, {})), "");

  RecoverAllAndCompare(dir / "out", files, {});
}

// Named data streams of a live file and of a deleted one, written through
// ntfs-3g's xattr interface (one resident, one not, each): listed beside
// their file as NAME:STREAM, with "stream" in the JSON, and recovered there
// byte for byte.
TEST_F(NtfsToolImageTest, AlternateDataStreamsAreListedAndRecoveredBesideTheirFile) {
  SALVEX_REQUIRE_NTFS_TOOLS();
  NtfsToolVolume volume(dir / "volume.ntfs", kVolumeSectors);
  std::string why;
  std::unique_ptr<NtfsMount> mount = NtfsMount::Open(volume.Path(), dir / "mnt", why);
  if (!mount) GTEST_SKIP() << why;
  std::vector<Planted> files = {{"kept.txt", HighBytes("kept", 3000)},   {"kept.txt:tag", HighBytes("tag", 40)},
                                {"kept.txt:big", HighBytes("big", 20'000)}, {"gone.txt", HighBytes("gone", 5000)},
                                {"gone.txt:note", HighBytes("note", 100)},  {"gone.txt:pic", HighBytes("pic", 9000)}};
  for (const Planted& file : files) {
    const std::size_t colon = file.path.find(':');
    if (colon == std::string::npos) {
      WriteHostFile(mount->Dir() / file.path, file.bytes);
      continue;
    }
    const std::string host = (mount->Dir() / file.path.substr(0, colon)).string();
    const std::string attribute = "user." + file.path.substr(colon + 1);
    ASSERT_EQ(::setxattr(host.c_str(), attribute.c_str(), file.bytes.data(), file.bytes.size(), 0), 0)
        << file.path << ": " << std::strerror(errno);
  }
  fs::remove(mount->Dir() / "gone.txt");
  ASSERT_TRUE(mount->Close()) << "ntfs-3g did not end cleanly";
  ASSERT_EQ(volume.RecordFlagsOf(u"gone.txt"), std::optional<std::uint8_t>(0)) << "the premise: a freed record";
  for (Planted& file : files) file.deleted = file.path.starts_with("gone");
  volume.PlaceInDisk(disk, kPartitionStart);

  EXPECT_EQ(LineDifference(ScanListing(), Described(files, {})), "");
  const SalvexRun json = Salvex("scan " + Disk() + " --partition 1 --json");
  for (const char* stream : {"tag", "big", "note", "pic"}) {
    EXPECT_NE(json.out.find("\"stream\":\"" + std::string(stream) + "\""), std::string::npos) << stream;
  }
  RecoverAllAndCompare(dir / "out", files, {});
}

}  // namespace
}  // namespace salvex::testing
