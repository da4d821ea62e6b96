// Deleted FAT files that their volume no longer leads to: the later clusters
// of a folder removed with mdeltree, entries whose high cluster word was
// cleared as Windows clears it, and a file whose clusters a later mcopy took.
// Every file whose entry and data survive comes back byte for byte; a file
// that comes back with another file's bytes says so.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "common/sector.h"
#include "support/json_value.h"
#include "support/recovery_bench.h"
#include "support/recovery_tool_disk.h"
#include "support/scan_results.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kNoon2000 = 946728000;

struct Planted {
  std::string folder;  // where it was, "" for the root
  std::string name;
  std::string bytes;
};

std::vector<Planted> Files(const std::string& folder, const std::string& stem, int count, std::size_t size) {
  std::vector<Planted> files;
  for (int i = 1; i <= count; ++i) {
    const std::string name = stem + " number " + std::to_string(100 + i).substr(1) + ".bin";
    files.push_back({folder, name, PatternBytes(folder + name, size)});
  }
  return files;
}

void Copy(RecoveryToolDisk& disk, const std::vector<Planted>& files) {
  for (const Planted& file : files) disk.CopyFiles(file.folder, {{file.name, file.bytes, kNoon2000}});
}

// What Windows does to a deleted entry and mtools does not: bytes 20-21 (the
// high word of the first cluster) of every deleted short entry of a file or
// folder in the partition become 0. The name bytes keep file data out.
int ClearHighWordsOfDeletedEntries(const fs::path& image, std::uint32_t start, std::uint32_t sectors) {
  std::fstream disk(image, std::ios::in | std::ios::out | std::ios::binary);
  std::string bytes(std::size_t{sectors} * kSectorSize, '\0');
  disk.seekg(static_cast<std::streamoff>(std::uint64_t{start} * kSectorSize));
  disk.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  int cleared = 0;
  for (std::size_t at = 0; at + 32 <= bytes.size(); at += 32) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
    if (byte(0) != 0xE5 || (byte(11) != 0x20 && byte(11) != 0x10)) continue;
    bool shortName = true;
    for (std::size_t i = 1; i < 11 && shortName; ++i) {
      shortName = byte(i) == ' ' || byte(i) == '~' || (byte(i) >= '0' && byte(i) <= '9') || (byte(i) >= 'A' && byte(i) <= 'Z');
    }
    if (!shortName || (byte(20) == 0 && byte(21) == 0)) continue;
    bytes[at + 20] = bytes[at + 21] = '\0';
    ++cleared;
  }
  disk.seekp(static_cast<std::streamoff>(std::uint64_t{start} * kSectorSize));
  disk.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return cleared;
}

class DeletedFatFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mmd", "mdel", "mdeltree"); }

  // SALVEX_TEST_BINARY runs another build on the same images (to compare).
  SalvexRun Salvex(const std::string& arguments) {
    const char* other = std::getenv("SALVEX_TEST_BINARY");
    return RunSalvexReading(other ? other : SALVEX_BINARY, image, arguments, dir.Path());
  }

  // Recovers everything; returns how many planted files came back byte for
  // byte at one of the places `places` gives (paths below the output).
  template <typename Places>
  int RecoverExact(const std::string& options, const std::vector<Planted>& files, Places places) {
    const fs::path out = dir / ("out" + std::to_string(++recoveries));
    const SalvexRun run = Salvex("recover " + ShellQuote(image.string()) + " " + options + " --all --out " +
                                 ShellQuote(out.string()));
    summary = run.out;
    int exact = 0;
    for (const Planted& file : files) {
      bool found = false;
      for (const fs::path& place : places(file)) {
        // A folder: the file may be anywhere in it, under any name.
        if (place.filename() == "" && fs::is_directory(out / place)) {
          for (const std::string& path : TreeBelow(out / place)) {
            found = found || (!path.ends_with('/') && ReadWholeFile(out / place / path) == file.bytes);
          }
        }
        found = found || (fs::is_regular_file(out / place) && ReadWholeFile(out / place) == file.bytes);
      }
      if (found) ++exact;
      EXPECT_TRUE(found) << file.folder << "/" << file.name << " did not come back whole (" << options << ")";
    }
    std::cout << "[counts] " << options << ": " << files.size() << " recoverable, " << exact << " byte-exact\n";
    return exact;
  }

  TempDir dir;
  fs::path image = dir / "disk.img";
  std::string summary;
  int recoveries = 0;
};

// A folder of 30 files whose directory takes 8 clusters, removed with
// mdeltree: its FAT chain is gone, so only its first cluster leads anywhere.
TEST_F(DeletedFatFilesTest, LaterClustersOfADeletedFolderComeBack) {
  for (const bool contiguous : {false, true}) {
    SCOPED_TRACE(contiguous ? "contiguous" : "scattered");
    fs::remove(image);
    RecoveryToolDisk disk(image, FsType::fat16, 1, 8192);
    disk.MakeFolders({"Big"});
    const std::vector<Planted> files = Files("Big", "a deleted file", 30, 700);
    if (contiguous) {
      // Empty files grow the directory before any data is written.
      std::vector<Planted> empties = Files("Big", "a deleted file", 30, 0);
      for (Planted& empty : empties) empty.name[0] = 'e';
      Copy(disk, empties);
      std::vector<std::string> paths;
      for (const Planted& empty : empties) paths.push_back("Big/" + empty.name);
      disk.Delete(paths);
    }
    Copy(disk, files);
    ASSERT_EQ(disk.ClusterRuns("Big").size() == 1, contiguous) << "the premise: how the directory lies";
    disk.DeleteTree("Big");

    const int exact = RecoverExact("--fs fat16 --partition 1 --mount 1", files, [&](const Planted& file) {
      // Scattered clusters have no folder to go to; a long name whose first
      // parts lie in the cluster before is cut there.
      return contiguous ? std::vector<fs::path>{fs::path("Big") / file.name}
                        : std::vector<fs::path>{fs::path("Big") / file.name, fs::path("Lost Files/")};
    });
    EXPECT_EQ(exact, 30);
  }
}

// Files above cluster 65,536 (and some below) in folders deep in a FAT32
// volume, deleted, then their high words cleared by hand; one folder is
// removed whole (its directory within one cluster), its own entry's high
// word cleared too.
TEST_F(DeletedFatFilesTest, ClearedHighWordsFindTheirClusters) {
  constexpr std::uint32_t kSectors = 163840;  // 80 MiB in 512-byte clusters: about 160,000 clusters
  RecoveryToolDisk disk(image, FsType::fat32, 1, kSectors);
  disk.MakeFolders({"low"});
  const std::vector<Planted> low = Files("low", "a low file", 4, 1500);
  Copy(disk, low);
  // 33 MiB that stay: every first cluster below 65,536 + 2 is taken.
  disk.CopyFiles("", {{"filler.bin", PatternBytes("filler", 33 << 20), kNoon2000}});
  disk.MakeFolders({"deep", "deep/er", "deep/er/est", "deep/er/gone folder"});
  const std::vector<Planted> est = Files("deep/er/est", "a high file", 10, 1500);
  const std::vector<Planted> gone = Files("deep/er/gone folder", "a gone file", 4, 2600);
  Copy(disk, est);
  Copy(disk, gone);
  std::vector<std::string> paths;
  for (const auto* files : {&low, &est}) {
    for (const Planted& file : *files) paths.push_back(file.folder + "/" + file.name);
  }
  disk.Delete(paths);
  disk.DeleteTree("deep/er/gone folder");
  ASSERT_EQ(ClearHighWordsOfDeletedEntries(image, RecoveryToolDisk::kPartitionStart, kSectors), 10 + 4 + 1);

  std::vector<Planted> all = low;
  all.insert(all.end(), est.begin(), est.end());
  all.insert(all.end(), gone.begin(), gone.end());
  for (const std::string options : {"--partition 1", "--fs fat32 --partition 1 --mount 1"}) {
    const int exact = RecoverExact(options, all, [](const Planted& file) {
      return std::vector<fs::path>{fs::path(file.folder) / file.name};
    });
    EXPECT_EQ(exact, static_cast<int>(all.size())) << options;
  }
}

// "old file.bin" is deleted and "new file.bin" then takes its first clusters.
TEST_F(DeletedFatFilesTest, ADeletedFileWhoseClustersWereReusedIsMarked) {
  RecoveryToolDisk disk(image, FsType::fat16, 1, 8192);
  const std::string old = PatternBytes("old", 3000);
  const std::string kept = PatternBytes("gone", 1000);
  disk.MakeFolders({"Docs"});
  disk.CopyFiles("Docs", {{"old file.bin", old, kNoon2000}, {"gone file.bin", kept, kNoon2000}});
  disk.Delete({"Docs/old file.bin", "Docs/gone file.bin"});
  disk.CopyFiles("", {{"new file.bin", PatternBytes("new", 1200), kNoon2000}});

  const SalvexRun json = Salvex("scan " + ShellQuote(image.string()) + " --partition 1 --json");
  ASSERT_EQ(json.status, 0) << json.err;
  std::vector<std::string> marked;
  for (const JsonValue& item : ParseJson(json.out).items) {
    if (item.Has("overwritten") && item.At("overwritten").Bool()) marked.push_back(item.At("name").Str());
  }
  EXPECT_EQ(marked, std::vector<std::string>{"old file.bin"});
  const SalvexRun listing = Salvex("scan " + ShellQuote(image.string()) + " --partition 1");
  EXPECT_NE(listing.out.find("DEL!    old file.bin"), std::string::npos) << listing.out;
  EXPECT_NE(listing.out.find("DEL     gone file.bin"), std::string::npos) << listing.out;

  // Still recovered when asked, and counted apart.
  RecoverExact("--partition 1", {{"Docs", "gone file.bin", kept}},
               [](const Planted& file) { return std::vector<fs::path>{fs::path(file.folder) / file.name}; });
  EXPECT_NE(summary.find("written, but its clusters are now used by other files: 1\n"), std::string::npos) << summary;
}

}  // namespace
}  // namespace salvex::testing
