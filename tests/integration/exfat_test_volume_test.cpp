// exFAT images written by ExfatTestVolume over mkfs.exfat, checked by tools
// that read exFAT on their own: fsck.exfat -n must find nothing wrong (it
// checks the boot checksum, set checksums, name hashes, sizes against
// cluster chains, and that every cluster in use is marked so), and
// sleuthkit's fls and icat must list and read back what was written. What
// neither tool looks at (a bit set for a freed cluster, the FAT of a
// contiguous file, ValidDataLength) is read from the image here.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/le_bytes.h"
#include "support/exfat_entry_sets.h"
#include "support/exfat_test_volume.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kVolumeBytes = 64ull << 20;

std::vector<std::uint8_t> Content(const std::string& path, std::size_t size) {
  const std::string bytes = HighBytes(path, static_cast<std::uint32_t>(size));
  return {bytes.begin(), bytes.end()};
}

// fsck.exfat -n: empty when it calls the volume clean, else what it said.
std::string FsckComplaints(const fs::path& volume) {
  const CommandResult result = RunCommand("fsck.exfat -n " + ShellQuote(volume.string()));
  if (result.status == 0 && result.output.find(": clean.") != std::string::npos) return "";
  return result.output.empty() ? "fsck.exfat said nothing" : result.output;
}

struct Listed {
  bool folder = false;
  bool deleted = false;
  std::string inode;
};

// `fls -r -p` without sleuthkit's own entries ($ALLOC_BITMAP, $MBR, the
// label); lines read "r/r * 396:\tDocs/a.txt", the "* " for a deleted one.
std::map<std::string, Listed> Fls(const fs::path& image, std::uint64_t sectorOffset = 0) {
  std::istringstream lines(RunChecked("fls -r -p -o " + std::to_string(sectorOffset) + " " + ShellQuote(image.string())));
  std::map<std::string, Listed> listed;
  for (std::string line; std::getline(lines, line);) {
    const std::size_t colon = line.find(":\t");
    if (colon == std::string::npos || line.size() < 4 || line[0] == 'v' || line[0] == 'V') continue;
    const std::string path = "/" + line.substr(colon + 2);
    if (path[1] == '$' || path.ends_with("(Volume Label Entry)")) continue;
    Listed entry;
    entry.folder = line[0] == 'd';
    entry.deleted = line.compare(4, 2, "* ") == 0;
    entry.inode = line.substr(entry.deleted ? 6 : 4, colon - (entry.deleted ? 6 : 4));
    listed[path] = entry;
  }
  return listed;
}

std::vector<std::uint8_t> Icat(const fs::path& image, const std::string& inode, std::uint64_t sectorOffset = 0) {
  const std::string bytes = RunChecked("icat -o " + std::to_string(sectorOffset) + " " + ShellQuote(image.string()) +
                                       " " + inode);
  return {bytes.begin(), bytes.end()};
}

// The boot sector's geometry and the FAT, read straight from the image.
struct RawVolume {
  std::vector<std::uint8_t> bytes;
  std::uint32_t Fat(std::uint32_t cluster) const {
    const std::uint64_t fat = std::uint64_t{u32le(bytes, 80)} << u8(bytes, 108);
    return u32le(bytes, fat + 4 * std::uint64_t{cluster});
  }
};

RawVolume ReadVolume(const fs::path& image) {
  const std::string bytes = ReadWholeFile(image);
  return {{bytes.begin(), bytes.end()}};
}

// The Stream Extension of the live set whose name starts with `name`'s first
// 15 UTF-16 units: the entry before its first File Name entry.
Bytes StreamEntry(const RawVolume& volume, const std::string& name) {
  std::vector<std::uint8_t> pattern = {0xC1, 0x00};
  for (const char16_t unit : Utf16FromUtf8(name).substr(0, 15)) {
    pattern.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    pattern.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  for (std::size_t at = 32; at + 32 <= volume.bytes.size(); at += 32) {
    if (std::equal(pattern.begin(), pattern.end(), volume.bytes.begin() + static_cast<std::ptrdiff_t>(at)) &&
        volume.bytes[at - 32] == 0xC0) {
      return Bytes(volume.bytes).subspan(at - 32, 32);
    }
  }
  return {};
}

struct FileSpec {
  std::string path;
  std::size_t clusters = 0;  // the size: clusters * cluster size + tail
  std::size_t tail = 0;
  ExfatLayout layout = ExfatLayout::contiguous;
  std::optional<std::size_t> validTail;  // ValidDataLength: one cluster + validTail
};

const std::vector<std::string> kFolders = {"/Docs", "/Docs/Deep", "/Docs/Deep/Deeper", "/Many", "/Trash",
                                           "/Trash/Sub"};
const std::vector<ExfatLayout> kFolderLayouts = {ExfatLayout::contiguous, ExfatLayout::chained,
                                                 ExfatLayout::fragmented, ExfatLayout::contiguous,
                                                 ExfatLayout::fragmented, ExfatLayout::chained};
const std::vector<FileSpec> kFiles = {
    {"/Grüße 日本.txt", 2, 17, ExfatLayout::contiguous, {}},
    {"/Docs/A name long enough for several File Name entries, past thirty units.txt", 3, 0, ExfatLayout::chained, {}},
    {"/Docs/Deep/Deeper/scattered.bin", 5, 300, ExfatLayout::fragmented, {}},
    {"/Docs/Deep/half valid.bin", 4, 0, ExfatLayout::contiguous, 10},
    {"/Docs/Deep/half valid scattered.bin", 3, 5, ExfatLayout::fragmented, 0},
    {"/Docs/Ελληνικά – ñ 😀.dat", 0, 1, ExfatLayout::chained, {}},
    {"/" + std::string(251, 'x') + ".txt", 1, 1, ExfatLayout::chained, {}},
    {"/empty.txt", 0, 0, ExfatLayout::contiguous, {}},
    {"/Trash/old.bin", 2, 9, ExfatLayout::chained, {}},
    {"/Trash/Sub/older.bin", 3, 0, ExfatLayout::fragmented, {}},
    {"/Trash/Sub/oldest.bin", 1, 7, ExfatLayout::contiguous, {}},
    {"/lone.bin", 2, 2, ExfatLayout::chained, {}},
};

class ExfatTestVolumeTest : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  void SetUp() override { SALVEX_REQUIRE_TOOLS("mkfs.exfat", "fsck.exfat", "fls", "icat", "tsk_recover", "sfdisk", "dd"); }

  // Every folder and file of the tables, 300 files in /Many and 40 in the
  // root; with 512-byte clusters both folders grow through many clusters.
  ExfatTestVolume Build() {
    ExfatTestVolume volume = ExfatTestVolume::Create(image_, kVolumeBytes, GetParam(), "SALVEX");
    for (std::size_t i = 0; i < kFolders.size(); ++i) Add(volume, kFolders[i], {}, kFolderLayouts[i]);
    for (const FileSpec& file : kFiles) {
      ExfatFileOptions options;
      options.layout = file.layout;
      if (file.validTail) options.validDataLength = GetParam() + *file.validTail;
      Add(volume, file.path, Content(file.path, file.clusters * GetParam() + file.tail), options.layout, options);
    }
    for (int i = 0; i < 300; ++i) {
      const std::string path = "/Many/entry " + std::to_string(i) + " with a longer name.txt";
      Add(volume, path, Content(path, i % 3 == 0 ? 0 : static_cast<std::size_t>(i)), ExfatLayout::chained);
    }
    for (int i = 0; i < 40; ++i) Add(volume, "/root " + std::to_string(i), Content("r", 100), ExfatLayout::fragmented);
    return volume;
  }

  void Add(ExfatTestVolume& volume, const std::string& path, std::optional<std::vector<std::uint8_t>> bytes,
           ExfatLayout layout, ExfatFileOptions options = {}) {
    if (!bytes) {
      volume.AddFolder(path, layout);
      expected_[path] = {};
      return;
    }
    options.layout = layout;
    volume.AddFile(path, *bytes, options);
    expected_[path] = *bytes;
  }

  // fls lists exactly the paths written, none deleted but those; every live
  // file comes back byte for byte from tsk_recover (one run for all), and
  // the table's files from icat too. Sleuthkit reads up to DataLength, past
  // ValidDataLength.
  void ExpectListed(const std::vector<std::string>& deleted = {}) {
    const std::map<std::string, Listed> listed = Fls(image_);
    const fs::path recovered = dir_ / "recovered";
    fs::remove_all(recovered);
    fs::create_directory(recovered);
    RunChecked("tsk_recover -a " + ShellQuote(image_.string()) + " " + ShellQuote(recovered.string()));
    for (const auto& [path, bytes] : expected_) {
      const auto found = listed.find(path);
      ASSERT_NE(found, listed.end()) << path << " not listed";
      const bool gone = std::find(deleted.begin(), deleted.end(), path) != deleted.end();
      EXPECT_EQ(found->second.deleted, gone) << path;
      EXPECT_EQ(found->second.folder, !bytes.has_value()) << path;
      if (!bytes || gone) continue;
      const std::string copy = ReadWholeFile(recovered / path.substr(1));
      EXPECT_EQ(std::vector<std::uint8_t>(copy.begin(), copy.end()), *bytes) << path;
      const bool inTable = std::any_of(kFiles.begin(), kFiles.end(), [&](const FileSpec& f) { return f.path == path; });
      if (inTable) {
        EXPECT_EQ(Icat(image_, found->second.inode), *bytes) << path;
      }
    }
    EXPECT_EQ(listed.size(), expected_.size());
  }

  TempDir dir_;
  fs::path image_ = dir_ / "exfat.img";
  std::map<std::string, std::optional<std::vector<std::uint8_t>>> expected_;  // nothing for a folder
};

TEST_P(ExfatTestVolumeTest, ToolsReadBackEveryLayout) {
  std::map<std::string, std::vector<std::uint32_t>> clusters;
  {
    ExfatTestVolume volume = Build();
    for (const FileSpec& file : kFiles) clusters[file.path] = volume.Clusters(file.path);
  }
  EXPECT_EQ(FsckComplaints(image_), "");
  ExpectListed();

  const RawVolume raw = ReadVolume(image_);
  for (const FileSpec& file : kFiles) {
    const std::vector<std::uint32_t>& chain = clusters[file.path];
    ASSERT_EQ(chain.size(), file.clusters + (file.tail != 0 ? 1 : 0)) << file.path;
    for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
      // Contiguous and chained files lie in consecutive clusters; only the
      // chained ones are linked in the FAT.
      EXPECT_EQ(chain[i + 1] == chain[i] + 1, file.layout != ExfatLayout::fragmented) << file.path;
      EXPECT_EQ(raw.Fat(chain[i]), file.layout == ExfatLayout::contiguous ? 0 : chain[i + 1]) << file.path;
    }
    if (!chain.empty()) {
      EXPECT_EQ(raw.Fat(chain.back()), file.layout == ExfatLayout::contiguous ? 0 : 0xFFFFFFFF) << file.path;
    }
    const Bytes stream = StreamEntry(raw, file.path.substr(file.path.rfind('/') + 1));
    ASSERT_FALSE(stream.empty()) << file.path;
    const std::uint64_t size = file.clusters * GetParam() + file.tail;
    EXPECT_EQ(u64le(stream, 24), size) << file.path;
    EXPECT_EQ(u64le(stream, 8), file.validTail ? GetParam() + *file.validTail : size) << file.path;
    EXPECT_EQ(u8(stream, 1), file.layout == ExfatLayout::contiguous && size != 0 ? 0x03 : 0x01) << file.path;
  }
}

TEST_P(ExfatTestVolumeTest, DeletedEntriesStayListedWithTheirClustersFree) {
  for (const bool clearFatChain : {false, true}) {
    SCOPED_TRACE(clearFatChain ? "FAT chains cleared" : "FAT chains kept");
    expected_.clear();
    const std::vector<std::string> deleted = {"/Trash", "/Trash/Sub", "/Trash/old.bin", "/Trash/Sub/older.bin",
                                              "/Trash/Sub/oldest.bin", "/lone.bin"};
    std::map<std::string, std::vector<std::uint32_t>> clusters;
    std::string bitmapInode;
    {
      ExfatTestVolume volume = Build();
      for (const std::string& path : deleted) clusters[path] = volume.Clusters(path);
      volume.Delete("/Trash", clearFatChain);
      volume.Delete("/lone.bin", clearFatChain);
    }
    EXPECT_EQ(FsckComplaints(image_), "");
    ExpectListed(deleted);

    const RawVolume raw = ReadVolume(image_);
    const std::string listing = RunChecked("fls " + ShellQuote(image_.string()));
    const std::size_t bitmapLine = listing.find(":\t$ALLOC_BITMAP");
    ASSERT_NE(bitmapLine, std::string::npos);
    const std::size_t inodeStart = listing.rfind(' ', bitmapLine) + 1;
    const std::vector<std::uint8_t> bitmap = Icat(image_, listing.substr(inodeStart, bitmapLine - inodeStart));
    for (const auto& [path, chain] : clusters) {
      for (const std::uint32_t cluster : chain) {
        EXPECT_EQ(bitmap.at((cluster - 2) / 8) & (1u << ((cluster - 2) % 8)), 0u) << path << " cluster " << cluster;
        if (clearFatChain) {
          EXPECT_EQ(raw.Fat(cluster), 0u) << path;
        }
      }
    }
    const std::vector<std::uint32_t>& lone = clusters["/lone.bin"];
    if (!clearFatChain) {
      EXPECT_EQ(raw.Fat(lone[0]), lone[1]) << "a deleted file keeps its chain";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ClusterSizes, ExfatTestVolumeTest, ::testing::Values(512u, 4096u, 65536u));

}  // namespace
}  // namespace salvex::testing
