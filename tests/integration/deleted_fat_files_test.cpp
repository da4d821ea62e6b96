// Deleted FAT files that their volume no longer leads to: the later clusters
// of a folder removed with mdeltree, entries whose high cluster word was
// cleared as Windows clears it, and a file whose clusters a later mcopy took.
// Every file whose entry and data survive comes back byte for byte; a file
// that comes back with another file's bytes says so.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>
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

// Lays files out on a FAT16 partition as files written in turns would lie:
// each file's clusters (from `layout`, in order) get its bytes, its chain in
// both FATs, and its short entry (found by its 11-byte name) its first
// cluster. What mcopy had put elsewhere is left to be overwritten by it.
void LayOut(const fs::path& image, const std::vector<std::pair<std::string, std::vector<std::uint32_t>>>& layout,
            const std::vector<std::string>& contents) {
  std::fstream disk(image, std::ios::in | std::ios::out | std::ios::binary);
  const std::uint64_t base = std::uint64_t{RecoveryToolDisk::kPartitionStart} * kSectorSize;
  std::string boot(kSectorSize, '\0');
  disk.seekg(static_cast<std::streamoff>(base));
  disk.read(boot.data(), kSectorSize);
  const auto u16 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(boot[at]) | static_cast<unsigned char>(boot[at + 1]) << 8);
  };
  const std::uint32_t perCluster = static_cast<unsigned char>(boot[13]);
  const std::uint32_t reserved = u16(14);
  const std::uint32_t fats = static_cast<unsigned char>(boot[16]);
  const std::uint32_t rootSectors = u16(17) * 32 / kSectorSize;
  const std::uint32_t perFat = u16(22);
  const std::uint64_t dataStart = reserved + std::uint64_t{fats} * perFat + rootSectors;
  const auto write = [&](std::uint64_t at, const std::string& bytes) {
    disk.seekp(static_cast<std::streamoff>(at));
    disk.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  };
  const auto le16 = [](std::uint32_t value) { return std::string{char(value & 0xFF), char(value >> 8 & 0xFF)}; };
  disk.seekg(0);
  std::string whole((std::istreambuf_iterator<char>(disk)), {});
  disk.clear();
  for (std::size_t f = 0; f < layout.size(); ++f) {
    const auto& [shortName, clusters] = layout[f];
    const std::uint64_t clusterBytes = std::uint64_t{perCluster} * kSectorSize;
    for (std::size_t i = 0; i < clusters.size(); ++i) {
      std::string piece = contents[f].substr(i * clusterBytes, clusterBytes);
      piece.resize(clusterBytes, '\0');
      write(base + (dataStart + std::uint64_t{clusters[i] - 2} * perCluster) * kSectorSize, piece);
      const std::uint32_t link = i + 1 < clusters.size() ? clusters[i + 1] : 0xFFFF;
      for (std::uint32_t copy = 0; copy < fats; ++copy) {
        write(base + (reserved + std::uint64_t{copy} * perFat) * kSectorSize + clusters[i] * 2, le16(link));
      }
    }
    const std::size_t entry = whole.find(shortName);
    ASSERT_NE(entry, std::string::npos) << shortName;
    write(entry + 26, le16(clusters.front()));
  }
  ASSERT_TRUE(disk.good());
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

// A and B written in turns (A1 B1 A2 B2 B3), then C whole, then B4 after C,
// all three then deleted with mdel: each comes back byte for byte, all three
// marked as worked out around other files.
TEST_F(DeletedFatFilesTest, FilesWrittenInTurnsComeBackWhole) {
  RecoveryToolDisk disk(image, FsType::fat16, 1, 8192);
  const std::vector<Planted> files = {{"", "A.BIN", PatternBytes("a", 2 * kSectorSize - 100)},
                                      {"", "B.BIN", PatternBytes("b", 4 * kSectorSize - 7)},
                                      {"", "C.BIN", PatternBytes("c", 3 * kSectorSize)}};
  Copy(disk, files);
  const std::string first = disk.ClusterRuns("A.BIN").front();  // "<c-c+1>"
  const auto c = static_cast<std::uint32_t>(std::stoul(first.substr(1)));
  LayOut(image,
         {{"A       BIN", {c, c + 2}}, {"B       BIN", {c + 1, c + 3, c + 4, c + 8}}, {"C       BIN", {c + 5, c + 6, c + 7}}},
         {files[0].bytes, files[1].bytes, files[2].bytes});
  ASSERT_EQ(disk.ClusterRuns("B.BIN").size(), 3u) << "the premise: B's chain as written in turns";
  disk.Delete({"A.BIN", "B.BIN", "C.BIN"});

  const SalvexRun json = Salvex("scan " + ShellQuote(image.string()) + " --partition 1 --json");
  ASSERT_EQ(json.status, 0) << json.err;
  // A deleted short name has lost its first letter: the sizes tell the files apart.
  std::vector<std::uint64_t> fragmented;
  for (const JsonValue& item : ParseJson(json.out).items) {
    if (item.Has("fragmentInferred") && item.At("fragmentInferred").Bool()) fragmented.push_back(item.At("size").Num());
    EXPECT_FALSE(item.Has("overwritten") || item.Has("conflictsWith")) << item.At("size").Num();
  }
  // C came in one run, but started while B still needed clusters: which of
  // them took those clusters is worked out too.
  EXPECT_EQ(fragmented,
            (std::vector<std::uint64_t>{files[0].bytes.size(), files[1].bytes.size(), files[2].bytes.size()}));
  const SalvexRun listing = Salvex("scan " + ShellQuote(image.string()) + " --partition 1");
  EXPECT_NE(listing.out.find("(fragmented: its clusters were worked out around other files)"), std::string::npos)
      << listing.out;
  const int exact = RecoverExact("--partition 1", files, [](const Planted&) { return std::vector<fs::path>{""}; });
  EXPECT_EQ(exact, 3);
}

// "first draft.bin" is deleted, "second draft.bin" takes its clusters and is
// deleted too: both entries claim the same clusters, and both say so.
TEST_F(DeletedFatFilesTest, DeletedFilesOverTheSameClustersNameEachOther) {
  RecoveryToolDisk disk(image, FsType::fat16, 1, 8192);
  disk.MakeFolders({"Docs", "Old"});
  disk.CopyFiles("", {{"kept.bin", PatternBytes("kept", 700), kNoon2000}});
  disk.CopyFiles("Docs", {{"first draft.bin", PatternBytes("first", 3000), kNoon2000}});
  disk.Delete({"Docs/first draft.bin"});
  // In another folder, so that its entry does not take the first one's place.
  disk.CopyFiles("Old", {{"second draft.bin", PatternBytes("second", 2000), kNoon2000}});
  disk.Delete({"Old/second draft.bin"});

  const SalvexRun json = Salvex("scan " + ShellQuote(image.string()) + " --partition 1 --json");
  ASSERT_EQ(json.status, 0) << json.err;
  std::vector<std::string> claims;
  for (const JsonValue& item : ParseJson(json.out).items) {
    if (!item.Has("conflictsWith")) continue;
    for (const JsonValue& other : item.At("conflictsWith").items) claims.push_back(item.At("path").Str() + " > " + other.Str());
  }
  EXPECT_EQ(claims, (std::vector<std::string>{"Docs/first draft.bin > Old/second draft.bin",
                                              "Old/second draft.bin > Docs/first draft.bin"}));
  RecoverExact("--partition 1", {{"", "kept.bin", PatternBytes("kept", 700)}},
               [](const Planted& file) { return std::vector<fs::path>{fs::path(file.name)}; });
  EXPECT_NE(summary.find("Written from clusters other deleted files claim too (2):\n"), std::string::npos) << summary;
  EXPECT_NE(summary.find("/Docs/first draft.bin: also claimed by Old/second draft.bin\n"), std::string::npos) << summary;
}

}  // namespace
}  // namespace salvex::testing
