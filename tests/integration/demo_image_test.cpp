// The demo image that scripts/make-demo-image.sh builds: a scan of either
// partition lists exactly what the script wrote and deleted.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

// The script writes the same tree on both volumes, every entry dated by
// SOURCE_DATE_EPOCH=1700000000. It deletes Documents/old-draft.doc,
// Photos/Holiday/img_0003-deleted.jpg and the whole Projects tree; of the
// deleted names, those that fit 8.3 in one case (src, engine, plan.txt,
// main.c, core.c, core.h) have no long name left and read with 'x' first.
std::vector<ListedItem> DemoItems() {
  const std::string date = ListedDate(UtcDate(1700000000));
  std::vector<ListedItem> items;
  const auto add = [&](const std::string& path, bool isFolder, std::uint64_t size, bool deleted) {
    ListedItem item;
    item.path = path;
    item.name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    item.isFolder = isFolder;
    item.size = size;
    item.deleted = deleted;
    item.created = item.modified = date;
    items.push_back(std::move(item));
  };
  for (const char* folder : {"Documents", "Documents/Letters", "Documents/Letters/2023", "Photos", "Photos/Holiday",
                             "Music", "Old Backups"}) {
    add(folder, true, 0, false);
  }
  for (const char* folder : {"Projects", "Projects/xrc", "Projects/xrc/xngine"}) add(folder, true, 0, true);
  const struct {
    const char* path;
    std::uint64_t size;
    bool deleted;
  } files[] = {
      {"readme.txt", 1200, false},
      {"café.txt", 333, false},
      {"Отчёт.doc", 24576, false},
      {"A long file name with spaces.text", 5000, false},
      {"Documents/report.doc", 48000, false},
      {"Documents/budget-2023.xls", 513, false},
      {"Documents/one-sector.txt", 512, false},
      {"Documents/one-byte.txt", 1, false},
      {"Documents/Letters/letter-to-bank.txt", 2100, false},
      {"Documents/Letters/2023/résumé.pdf", 70000, false},
      {"Documents/Letters/2023/日本語のファイル.txt", 4096, false},
      {"Photos/Holiday/img_0001.jpg", 900000, false},
      {"Photos/Holiday/img_0002.jpg", 1300000, false},
      {"Photos/Holiday/beach-panorama-final-version.png", 2500000, false},
      {"Music/song.mp3", 3000000, false},
      {"Old Backups/backup-2019.zip", 400000, false},
      {"Old Backups/notes.txt", 650, false},
      {"Documents/old-draft.doc", 12000, true},
      {"Photos/Holiday/img_0003-deleted.jpg", 250000, true},
      {"Projects/xlan.txt", 800, true},
      {"Projects/xrc/xain.c", 15000, true},
      {"Projects/xrc/xngine/xore.c", 33000, true},
      {"Projects/xrc/xngine/xore.h", 1500, true},
  };
  for (const auto& file : files) add(file.path, false, file.size, file.deleted);
  return items;
}

// The script's layout.
struct DemoPartition {
  unsigned number;
  const char* type;
  std::uint32_t startSector;
  std::uint32_t sectorCount;
};

// The cluster size mkfs.fat chose, as mtools reads it from the boot sector.
std::uint32_t BytesPerCluster(const std::filesystem::path& image, std::uint32_t startSector) {
  const std::string info = RunChecked("MTOOLS_SKIP_CHECK=1 MTOOLSRC=/dev/null minfo -i " +
                                      ShellQuote(image.string() + "@@" + std::to_string(startSector * 512ull)));
  const std::string label = "cluster size: ";
  const std::size_t at = info.find(label);
  if (at == std::string::npos) throw ToolFailure("minfo printed no cluster size:\n" + info);
  return static_cast<std::uint32_t>(std::stoul(info.substr(at + label.size()))) * 512;
}

TEST(DemoImage, ScanOfEachPartitionListsWhatTheScriptWrote) {
  SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mmd", "mdel", "mdeltree", "minfo");
  TempDir dir;
  const auto image = dir / "demo.img";
  // The script leaves the time zone to mtools; UTC keeps its dates those of
  // SOURCE_DATE_EPOCH.
  RunChecked("TZ=UTC bash " + ShellQuote(std::string(SALVEX_SOURCE_DIR) + "/scripts/make-demo-image.sh") + " " +
             ShellQuote(image.string()));

  for (const DemoPartition& partition : {DemoPartition{1, "FAT32", 2048, 131072}, DemoPartition{2, "FAT16", 133120, 65536}}) {
    SCOPED_TRACE(partition.type);
    const std::string choice = "scan " + ShellQuote(image.string()) + " --partition " + std::to_string(partition.number);
    const SalvexRun json = RunSalvex(SALVEX_BINARY, choice + " --json", dir.Path());
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(DiffItems(ItemsFromScanJson(json.out), DemoItems()), "");

    const SalvexRun text = RunSalvex(SALVEX_BINARY, choice, dir.Path());
    ASSERT_EQ(text.status, 0) << text.err;
    const std::string header = std::string(partition.type) + " volume, sectors " +
                               std::to_string(partition.startSector) + " to " +
                               std::to_string(partition.startSector + partition.sectorCount - 1) + ", " +
                               std::to_string(BytesPerCluster(image, partition.startSector)) + " bytes per cluster";
    EXPECT_EQ(text.out.substr(0, text.out.find('\n')), header);
  }
}

}  // namespace
}  // namespace salvex::testing
