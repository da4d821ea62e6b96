#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <iterator>
#include <fstream>
#include <string>

#include "recovery/file_stamp.h"
#include "platform/destination_check.h"
#include "platform/host_folder.h"
#include "support/byte_image.h"
#include "support/tool_runner.h"

namespace salvex {
namespace {

struct NameCase {
  std::string fromDisk;
  std::string safe;
};

class SafeHostNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(SafeHostNameTest, KeepsNamesInsideTheirFolder) { EXPECT_EQ(SafeHostName(GetParam().fromDisk), GetParam().safe); }

INSTANTIATE_TEST_SUITE_P(Table, SafeHostNameTest,
                         ::testing::Values(NameCase{"report.doc", "report.doc"}, NameCase{"Отчёт.doc", "Отчёт.doc"},
                                           NameCase{".", "_"}, NameCase{"..", "__"}, NameCase{"", "_"},
                                           NameCase{"...", "..."}, NameCase{"a/b", "a_b"},
                                           NameCase{"../../etc/passwd", ".._.._etc_passwd"},
                                           NameCase{std::string("a\0b", 3), "a_b"},
                                           // Controls and direction marks cannot disguise a name.
                                           NameCase{"evil\u202Etxt.exe", "evil%E2%80%AEtxt.exe"},
                                           NameCase{"a\x1b[31mb\x7f", "a%1B[31mb%7F"},
                                           NameCase{"tab\there\u2066", "tab%09here%E2%81%A6"},
                                           NameCase{"\xC2\x9B\u2069", "%C2%9B%E2%81%A9"},
                                           NameCase{"100% caf\xC3\xA9 \xFF", "100% caf\xC3\xA9 \xFF"}));

TEST(SafeHostName, ShortensLongNamesKeepingTheExtensionAndWholeCharacters) {
  std::string cyrillic;
  for (int i = 0; i < 200; ++i) cyrillic += "ж";  // two bytes each
  const std::string safe = SafeHostName(cyrillic + ".docx");
  EXPECT_LE(safe.size(), kMaxHostNameBytes);
  EXPECT_TRUE(safe.ends_with("ж.docx"));
  EXPECT_EQ((safe.size() - 5) % 2, 0u) << "no character is cut in half";
}

TEST(FatFileStamp, IsTheEntrysWriteDateAndTime) {
  const auto at = [](std::uint16_t date, std::uint16_t time) -> std::string {
    const auto stamp = FatFileStamp(PackFatFileTime(date, time));
    if (!stamp) return "none";
    std::tm utc{};
    gmtime_r(&*stamp, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
    return text;
  };
  constexpr std::uint16_t kTime = (14 << 11) | (35 << 5) | 21;  // 14:35:42
  EXPECT_EQ(at(testing::DosDate(2006, 12, 28), kTime), "2006-12-28 14:35:42");
  EXPECT_EQ(at(testing::DosDate(2024, 2, 29), 0), "2024-02-29 00:00:00");
  EXPECT_EQ(at(testing::DosDate(2006, 12, 28), 25 << 11), "2006-12-28 00:00:00") << "no hour 25: the day's start";
  EXPECT_EQ(at(0, kTime), "none");
  EXPECT_EQ(at(testing::DosDate(2023, 2, 30), kTime), "none");
  EXPECT_EQ(at(static_cast<std::uint16_t>((26 << 9) | (13 << 5) | 1), kTime), "none") << "month 13";
}

TEST(DestinationCheck, AnImageOnTheDestinationsFileSystemIsOnlyAWarning) {
  testing::TempDir dir;
  const std::string image = (dir / "disk.img").string();
  std::ofstream(image) << "image";
  struct stat folder {};
  ASSERT_EQ(::stat(dir.Path().c_str(), &folder), 0);
  EXPECT_EQ(CheckDestination(image, folder.st_dev), DestinationRisk::sameFileSystemAsImage);
  EXPECT_EQ(CheckDestination(image, folder.st_dev + 1), DestinationRisk::none);
  EXPECT_EQ(CheckDestination((dir / "missing.img").string(), folder.st_dev), DestinationRisk::none);
}

TEST(HostFolder, CreatesOnlyInsideAndNeverThroughALink) {
  testing::TempDir dir;
  std::filesystem::create_directory(dir / "out");
  std::filesystem::create_directory(dir / "elsewhere");
  std::filesystem::create_symlink(dir / "elsewhere", dir / "out" / "linked");
  std::filesystem::create_symlink(dir / "elsewhere" / "target.txt", dir / "out" / "file.txt");
  std::string error;
  auto out = HostFolder::Open((dir / "out").string(), error);
  ASSERT_NE(out, nullptr) << error;
  EXPECT_EQ(out->OpenOrCreateSubfolder("linked", error), nullptr) << "a linked folder is not entered";
  EXPECT_EQ(out->CreateFile("file.txt", error), nullptr) << "a link at the file's place is not followed";
  EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere" / "target.txt"));
  EXPECT_TRUE(out->Exists("file.txt"));

  auto sub = out->OpenOrCreateSubfolder("Documents", error);
  ASSERT_NE(sub, nullptr) << error;
  auto file = sub->CreateFile("a.txt", error);
  ASSERT_NE(file, nullptr) << error;
  const std::uint8_t bytes[] = {'h', 'i'};
  EXPECT_TRUE(file->Write(bytes));
  EXPECT_TRUE(file->SetTimes(1'000'000'000));
  EXPECT_TRUE(file->Close());
  EXPECT_EQ(std::filesystem::file_size(dir / "out" / "Documents" / "a.txt"), 2u);
  struct stat written {};
  ASSERT_EQ(::stat((dir / "out" / "Documents" / "a.txt").c_str(), &written), 0);
  EXPECT_EQ(written.st_mtime, 1'000'000'000);
  EXPECT_EQ(sub->Path(), (dir / "out" / "Documents").string());
}

TEST(HostFolder, NeverWritesIntoAFifoOrDeviceStandingAtTheName) {
  // Opening a FIFO for writing would wait for a reader; with one reading,
  // the recovered bytes would go to it. Device nodes are refused the same way.
  testing::TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe.txt").c_str(), 0666), 0);
  std::string error;
  auto out = HostFolder::Open(dir.Path().string(), error);
  ASSERT_NE(out, nullptr) << error;
  EXPECT_EQ(out->CreateFile("pipe.txt", error), nullptr) << "no reader";
  EXPECT_FALSE(error.empty());

  const int reader = ::open((dir / "pipe.txt").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  error.clear();
  EXPECT_EQ(out->CreateFile("pipe.txt", error), nullptr) << "a reader waiting";
  EXPECT_FALSE(error.empty());
  ::close(reader);

  auto dev = HostFolder::Open("/dev", error);
  ASSERT_NE(dev, nullptr) << error;
  EXPECT_EQ(dev->CreateFile("null", error), nullptr) << "a character device";
}

// A folder of a file system that tells cases apart (the test's own
// temporary folder): names that differ in case are two, the probe leaves
// nothing behind, and two names of one folder are one only when equal.
TEST(HostFolder, AFolderThatTellsCasesApartKeepsTheirNamesApart) {
  testing::TempDir dir;
  std::string error;
  const auto folder = HostFolder::Open(dir.Path().string(), error);
  ASSERT_TRUE(folder) << error;
  const auto sub = folder->OpenOrCreateSubfolder("Sub", error);
  ASSERT_TRUE(sub) << error;
  EXPECT_FALSE(folder->FoldsCase());
  EXPECT_NE(folder->SamenessKey("Report.txt"), folder->SamenessKey("REPORT.TXT"));
  EXPECT_EQ(folder->SamenessKey("Report.txt"), folder->SamenessKey("Report.txt"));
  EXPECT_NE(folder->SamenessKey("Report.txt"), sub->SamenessKey("Report.txt")) << "another folder, another file";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << "the probe file is gone";
}

}  // namespace
}  // namespace salvex
