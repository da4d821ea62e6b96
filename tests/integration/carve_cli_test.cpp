// `salvex carve` on cards made by the real tools: files made by ImageMagick,
// exiftool, zip and the tests' own writers, copied on with mtools, then the
// card formatted again (or its FATs and root zeroed), or the files deleted.
// Every file comes back byte for byte, under its deleted entry's name where
// one is left, and nothing else is made of the card.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/exfat_test_volume.h"
#include "support/format_writers.h"
#include "support/jpeg_writer.h"
#include "support/json_value.h"
#include "support/scan_results.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

constexpr const char* kMtools = "MTOOLS_SKIP_CHECK=1 TZ=UTC ";

void WriteBytes(const std::filesystem::path& path, const FileBytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

// A file to lay on the card, made by a real program where Debian has one.
struct CardFile {
  std::string folder;  // on the card
  std::string name;
  std::string verdict;  // what the carve must call it
};

// Makes the files in `dir`, returns them with the verdicts a carve gives.
std::vector<CardFile> MakeCardFiles(const TempDir& dir) {
  const auto at = [&](const std::string& name) { return ShellQuote((dir / name).string()); };
  RunChecked("convert -seed 1 -size 640x480 plasma:fractal -quality 88 " + at("IMG_0001.JPG"));
  RunChecked("exiftool -q -overwrite_original -DateTimeOriginal='2021:05:03 14:22:01' -Model='Test Camera X' " +
             at("IMG_0001.JPG"));
  RunChecked("convert -seed 2 -size 800x600 plasma:fractal -quality 92 " + at("IMG_0002.JPG"));
  RunChecked("convert -seed 3 -size 300x200 plasma:fractal " + at("chart.png"));
  RunChecked("convert -seed 4 -size 160x120 plasma:fractal -colors 64 " + at("anim.gif"));
  RunChecked("convert -seed 5 -size 120x90 plasma:fractal -type truecolor " + at("scan.bmp"));
  WriteBytes(dir / "minutes.pdf", WritePdf(6, 7));
  // An office document is a ZIP whose members say what it is.
  std::filesystem::create_directories(dir / "docx" / "word");
  std::ofstream(dir / "docx" / "[Content_Types].xml") << "<?xml version=\"1.0\"?><Types/>\n";
  std::ofstream(dir / "docx" / "word" / "document.xml") << std::string(3000, 'w') << "\n";
  RunChecked("cd " + at("docx") + " && zip -q -X -r ../report.docx '[Content_Types].xml' word");
  RunChecked("cd " + ShellQuote(dir.Path().string()) + " && zip -q -X archive.zip IMG_0002.JPG chart.png");
  // A picture after bytes of a file of its own: not at any sector.
  FileBytes blob = Noise(1572, 8);
  const std::string picture = ReadWholeFile(dir / "IMG_0001.JPG");
  blob.insert(blob.end(), picture.begin(), picture.end());
  WriteBytes(dir / "blob.bin", blob);
  return {{"DCIM/100TEST", "IMG_0001.JPG", "intact"}, {"DCIM/100TEST", "IMG_0002.JPG", "intact"},
          {"Pictures", "chart.png", "intact"},      {"Pictures", "anim.gif", "intact"},
          {"Pictures", "scan.bmp", "unchecked"},    {"Documents", "minutes.pdf", "intact"},
          {"Documents", "report.docx", "intact"},   {"Documents", "archive.zip", "intact"}};
}

std::string MakeCard(const TempDir& dir, const std::vector<CardFile>& files) {
  const std::string image = ShellQuote((dir / "card.img").string());
  RunChecked("truncate -s 64M " + image + " && mkfs.fat -F 16 -s 4 -i 12345678 " + image + " >/dev/null");
  RunChecked(std::string(kMtools) + "mmd -i " + image + " ::DCIM ::DCIM/100TEST ::Pictures ::Documents ::Other");
  for (const CardFile& file : files) {
    RunChecked("touch -d '2021-05-03 14:22:00 UTC' " + ShellQuote((dir / file.name).string()));
    RunChecked(std::string(kMtools) + "mcopy -m -i " + image + " " + ShellQuote((dir / file.name).string()) + " ::" +
               file.folder + "/");
  }
  RunChecked(std::string(kMtools) + "mcopy -i " + image + " " + ShellQuote((dir / "blob.bin").string()) + " ::Other/");
  return image;
}

// The carved files by their bytes.
std::multimap<std::string, JsonValue> CarvedByContent(const JsonValue& carved, const std::filesystem::path& out) {
  std::multimap<std::string, JsonValue> byContent;
  for (const JsonValue& file : carved.items) byContent.emplace(ReadWholeFile(out / file.At("path").Str()), file);
  return byContent;
}

struct WipeCase {
  const char* name;
  // What happens to the card after the files are on it; the deleted
  // entries left, if any, name what is found.
  const char* command;
  bool namesLeft;
};

const WipeCase kWipes[] = {
    {"FormattedAgain", "mkfs.fat -F 16 -s 4 -i 12345678 IMAGE >/dev/null", false},
    // The boot sector stays; both FATs and the root directory are zeros
    // (FIRST and COUNT: the sectors after the reserved ones up to the data).
    {"TablesZeroed", "dd if=/dev/zero of=IMAGE bs=512 seek=FIRST count=COUNT conv=notrunc status=none", false},
    {"FilesDeleted", "MTOOLS_SKIP_CHECK=1 mdel -i IMAGE '::DCIM/100TEST/*' '::Pictures/*' '::Documents/*' ::Other/blob.bin",
     true},
};

class CarveCardTest : public ::testing::TestWithParam<WipeCase> {};

TEST_P(CarveCardTest, EveryFileComesBackByteForByteAndNothingElse) {
  SALVEX_REQUIRE_TOOLS("mkfs.fat", "mmd", "mcopy", "mdel", "convert", "exiftool", "zip");
  const WipeCase& wipe = GetParam();
  TempDir dir;
  const std::vector<CardFile> files = MakeCardFiles(dir);
  const std::string image = MakeCard(dir, files);
  const std::string boot = ReadWholeFile(dir / "card.img").substr(0, 512);
  const auto le16 = [&](std::size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(boot[at]) |
                                                                        static_cast<unsigned char>(boot[at + 1]) << 8); };
  const unsigned reserved = le16(14);
  const unsigned tables = 2 * le16(22) + le16(17) * 32 / 512;
  RunChecked(Substitute(Substitute(Substitute(wipe.command, "IMAGE", image), "FIRST", std::to_string(reserved)), "COUNT",
                        std::to_string(tables)));
  const std::filesystem::path out = dir / "out";

  const SalvexRun run = RunSalvexReading(SALVEX_BINARY, dir / "card.img", "carve " + image + " --partition 1 --out " +
                                             ShellQuote(out.string()) + " --json", dir.Path());

  ASSERT_EQ(run.status, 0) << run.err;
  const JsonValue carved = ParseJson(run.out);
  const std::multimap<std::string, JsonValue> byContent = CarvedByContent(carved, out);
  std::vector<std::string> missing;
  for (const CardFile& file : files) {
    const auto found = byContent.find(ReadWholeFile(dir / file.name));
    if (found == byContent.end()) {
      missing.push_back(file.name);
      continue;
    }
    EXPECT_EQ(found->second.At("verdict").Str(), file.verdict) << file.name;
    EXPECT_FALSE(found->second.At("partial").Bool()) << file.name;
    if (wipe.namesLeft) {
      // The deleted entry's folder and name (its first letter is gone).
      const std::string& path = found->second.At("path").Str();
      EXPECT_EQ(path.substr(0, file.folder.size() + 1), file.folder + "/") << path;
      EXPECT_EQ(path.substr(path.size() - file.name.size() + 1), file.name.substr(1)) << path;
      struct stat status {};
      ASSERT_EQ(::stat((out / path).c_str(), &status), 0);
      EXPECT_EQ(status.st_mtime, 1620051720) << path << ": the entry's write time, 2021-05-03 14:22:00";
    }
  }
  EXPECT_TRUE(missing.empty()) << "not carved: " << ::testing::PrintToString(missing);
  // The picture after the blob's own bytes comes back too, named by its
  // EXIF (once more: the card holds it twice), and nothing else does.
  EXPECT_EQ(byContent.count(ReadWholeFile(dir / "IMG_0001.JPG")), 2u);
  EXPECT_EQ(carved.items.size(), files.size() + 1);
  bool embedded = false;
  for (const JsonValue& file : carved.items) {
    if (!file.At("embedded").Bool()) continue;
    embedded = true;
    EXPECT_EQ(file.At("path").Str().rfind("jpg/2021-05-03 14-22-01 Test Camera X", 0), 0u) << file.At("path").Str();
  }
  EXPECT_TRUE(embedded);
}

INSTANTIATE_TEST_SUITE_P(Cards, CarveCardTest, ::testing::ValuesIn(kWipes),
                         [](const ::testing::TestParamInfo<WipeCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace salvex::testing

namespace salvex::testing {
namespace {

// The FAT allocator lays a file around clusters in use: a photo copied
// after a small file was deleted from between two others fills the gap and
// goes on after the next file. Deleted, it comes back whole, put together
// from its two pieces and named by its entry; another photo, one of whose
// clusters a text file's bytes replaced, comes back partial, never intact.
TEST(CarveCard, APhotoInTwoPiecesIsPutTogetherAndAnOverwrittenOneIsPartial) {
  SALVEX_REQUIRE_TOOLS("mkfs.fat", "mcopy", "mdel", "convert");
  TempDir dir;
  const auto at = [&](const std::string& name) { return ShellQuote((dir / name).string()); };
  RunChecked("convert -seed 7 -size 1024x768 plasma:fractal -quality 90 " + at("PIECES.JPG"));
  RunChecked("convert -seed 8 -size 1024x768 plasma:fractal -quality 90 " + at("HURT.JPG"));
  WriteBytes(dir / "small1.bin", Noise(6000, 1));
  WriteBytes(dir / "gap.bin", Noise(40000, 2));
  WriteBytes(dir / "small2.bin", Noise(30000, 3));
  const std::string image = at("card.img");
  RunChecked("truncate -s 32M " + image + " && mkfs.fat -F 16 -s 8 -i 12345678 " + image + " >/dev/null");
  for (const char* name : {"small1.bin", "gap.bin", "small2.bin"}) {
    RunChecked(std::string(kMtools) + "mcopy -i " + image + " " + at(name) + " ::/");
  }
  RunChecked(std::string(kMtools) + "mdel -i " + image + " ::/gap.bin");
  RunChecked(std::string(kMtools) + "mcopy -i " + image + " " + at("PIECES.JPG") + " ::/");
  RunChecked(std::string(kMtools) + "mcopy -i " + image + " " + at("HURT.JPG") + " ::/");
  RunChecked(std::string(kMtools) + "mdel -i " + image + " ::/PIECES.JPG ::/HURT.JPG");
  // A text file's bytes over the middle of HURT.JPG, where its clusters lie.
  const SalvexRun listed = RunSalvex(SALVEX_BINARY, "scan " + image + " --json", dir.Path());
  ASSERT_EQ(listed.status, 0) << listed.err;
  std::uint64_t hurtCluster = 0;
  for (const JsonValue& item : ParseJson(listed.out).items) {
    if (item.At("name").Str() == "xURT.JPG") hurtCluster = item.At("firstCluster").Num();
  }
  ASSERT_NE(hurtCluster, 0u);
  const std::string boot = ReadWholeFile(dir / "card.img").substr(0, 512);
  const auto le16 = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(boot[i]) |
                                                                       static_cast<unsigned char>(boot[i + 1]) << 8); };
  const std::uint64_t firstData = le16(14) + 2 * le16(22) + le16(17) * 32 / 512;
  const std::uint64_t hurtSector = firstData + (hurtCluster - 2 + 6) * 8;
  std::string text;
  while (text.size() < 4096) text += "Minutes of the meeting: bring the slides, room 4 at 10:30.\n";
  std::ofstream(dir / "text.bin", std::ios::binary) << text.substr(0, 4096);
  RunChecked("dd if=" + at("text.bin") + " of=" + image + " bs=512 seek=" + std::to_string(hurtSector) +
             " conv=notrunc status=none");
  const std::filesystem::path out = dir / "out";

  const SalvexRun run = RunSalvex(SALVEX_BINARY, "carve " + image + " --partition 1 --types jpg --json --out " +
                                      ShellQuote(out.string()), dir.Path());

  ASSERT_EQ(run.status, 0) << run.err;
  const JsonValue carved = ParseJson(run.out);
  bool pieces = false;
  bool hurt = false;
  for (const JsonValue& file : carved.items) {
    const std::string& path = file.At("path").Str();
    if (path == "xIECES.JPG") {
      pieces = true;
      EXPECT_TRUE(file.At("joined").Bool());
      EXPECT_EQ(file.At("verdict").Str(), "intact");
      EXPECT_EQ(ReadWholeFile(out / path), ReadWholeFile(dir / "PIECES.JPG"));
    }
    if (path == "xURT.JPG") {
      hurt = true;
      EXPECT_EQ(file.At("verdict").Str(), "partial");
      EXPECT_EQ(file.At("cut").Str(), "damaged");
      EXPECT_EQ(file.At("size").Num(), 6u * 8 * 512) << "the clusters before the text";
      const std::string original = ReadWholeFile(dir / "HURT.JPG");
      EXPECT_EQ(ReadWholeFile(out / path), original.substr(0, 6 * 8 * 512));
    }
  }
  EXPECT_TRUE(pieces) << run.out;
  EXPECT_TRUE(hurt) << run.out;
}

}  // namespace
}  // namespace salvex::testing

namespace salvex::testing {
namespace {

// On exFAT the allocation bitmap says which clusters are free: a deleted
// photo there comes back under its full name (exFAT keeps it whole), a
// live one is left alone, and a photo whose chain the FAT no longer holds
// still comes back from the run its clusters lie in.
TEST(CarveExfat, TheBitmapsFreeClustersAreCarvedAndDeletedNamesKept) {
  SALVEX_REQUIRE_TOOLS("mkfs.exfat");
  TempDir dir;
  const std::filesystem::path image = dir / "card.img";
  const FileBytes deleted = WriteJpeg({640, 480, true, 0, 90, 61});
  const FileBytes live = WriteJpeg({480, 360, true, 0, 85, 62});
  const FileBytes unchained = WriteJpeg({600, 400, true, 4, 88, 63});
  {
    ExfatTestVolume volume = ExfatTestVolume::Create(image, 32 << 20, 4096);
    ExfatFileOptions chained;
    chained.layout = ExfatLayout::chained;
    volume.AddFolder("/DCIM");
    volume.AddFile("/DCIM/Holiday on the beach 001.jpg", deleted, chained);
    volume.AddFile("/DCIM/kept.jpg", live);
    volume.AddFile("/DCIM/Unchained.jpg", unchained, chained);
    volume.Delete("/DCIM/Holiday on the beach 001.jpg");
    volume.Delete("/DCIM/Unchained.jpg", true);
  }
  const std::filesystem::path out = dir / "out";

  const SalvexRun run = RunSalvexReading(SALVEX_BINARY, image, "carve " + ShellQuote(image.string()) +
                                             " --partition 1 --json --out " + ShellQuote(out.string()), dir.Path());

  ASSERT_EQ(run.status, 0) << run.err;
  std::map<std::string, std::string> carved;
  for (const JsonValue& file : ParseJson(run.out).items) {
    carved[file.At("path").Str()] = ReadWholeFile(out / file.At("path").Str());
  }
  const auto text = [](const FileBytes& bytes) { return std::string(bytes.begin(), bytes.end()); };
  const std::map<std::string, std::string> expected = {
      {"DCIM/Holiday on the beach 001.jpg", text(deleted)}, {"DCIM/Unchained.jpg", text(unchained)}};
  EXPECT_EQ(carved, expected);
}

}  // namespace
}  // namespace salvex::testing
