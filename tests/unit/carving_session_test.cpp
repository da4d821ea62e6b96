// The carving use case over a disk in memory: what a front end asks is
// checked, what the pass finds is written under the destination with names
// that never overwrite each other, and what the window's search finds
// becomes items that read back from where they lie.

#include "session/carving.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "platform/memory_disk_source.h"
#include "session/content_search.h"
#include "session/item_bytes.h"
#include "support/format_writers.h"
#include "support/jpeg_writer.h"
#include "support/recording_ui_port.h"
#include "support/tool_runner.h"

namespace salvex {
namespace {

using testing::FileBytes;

void OpenDisk(Session& session, const FileBytes& disk) {
  session.reader.Open(std::make_unique<MemoryDiskSource>(disk));
}

struct RequestCase {
  const char* name;
  CarveRequest request;
  std::string error;  // what the outcome's error contains; empty when it must succeed
  std::uint64_t first, end;  // the area's bytes when it succeeds
};

const RequestCase kRequests[] = {
    {"WholeDisk", {}, "", 0, 2048 * 512},
    {"Range", {std::nullopt, 100, 300, {}, false, false}, "", 100 * 512, 300 * 512},
    {"RangePastTheEnd", {std::nullopt, 100, 99999, {}, false, false}, "", 100 * 512, 2048 * 512},
    {"RangeOffTheDisk", {std::nullopt, 5000, 6000, {}, false, false}, "hold nothing of the disk", 0, 0},
    {"UnknownType", {std::nullopt, std::nullopt, std::nullopt, {"jpg", "mkv"}, false, false}, "no file type \"mkv\"", 0, 0},
    {"NoSuchPartition", {7, std::nullopt, std::nullopt, {}, false, false}, "partition 7 does not exist", 0, 0},
};

class CarveRequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(CarveRequestTest, TheRangeAndTypesAreCheckedBeforeAnythingIsRead) {
  const RequestCase& c = GetParam();
  Session session;
  OpenDisk(session, FileBytes(2048 * 512, 0));
  testing::RecordingUiPort ui;
  const CarvePlan plan = PrepareCarve(session, c.request, ui);
  if (!c.error.empty()) {
    EXPECT_NE(plan.outcome.error.find(c.error), std::string::npos) << plan.outcome.error;
    return;
  }
  ASSERT_TRUE(plan.outcome.Ok()) << plan.outcome.error;
  EXPECT_EQ(plan.area.first, c.first);
  EXPECT_EQ(plan.area.end, c.end);
}

INSTANTIATE_TEST_SUITE_P(Requests, CarveRequestTest, ::testing::ValuesIn(kRequests),
                         [](const ::testing::TestParamInfo<RequestCase>& param) { return std::string(param.param.name); });

// Two copies of one photo carry the same EXIF name: the second is written
// as "name (2)"; a bitmap goes to its own folder; Stop before the pass
// writes nothing and says so.
TEST(CarveFiles, WritesEachFileUnderANameOfItsOwn) {
  const FileBytes photo = testing::WriteJpeg({200, 150, true, 0, 85, 3});
  const FileBytes bitmap = testing::WriteBmp(40, 30, 4);
  FileBytes disk(1 << 20, 0);
  std::copy(photo.begin(), photo.end(), disk.begin() + 4096);
  std::copy(photo.begin(), photo.end(), disk.begin() + 256 * 1024);
  std::copy(bitmap.begin(), bitmap.end(), disk.begin() + 512 * 1024);
  Session session;
  OpenDisk(session, disk);
  testing::RecordingUiPort ui;
  CarveRequest request;
  request.types = {"jpg", "bmp"};
  const CarvePlan plan = PrepareCarve(session, request, ui);
  ASSERT_TRUE(plan.outcome.Ok()) << plan.outcome.error;
  testing::TempDir dir;
  std::string error;
  const std::unique_ptr<HostFolder> destination = HostFolder::Open(dir.Path().string(), error);
  ASSERT_TRUE(destination) << error;
  std::atomic<bool> stop{false};

  const CarveSummary summary = CarveFiles(session, plan, *destination, ui, stop);

  ASSERT_EQ(summary.files.size(), 3u);
  EXPECT_EQ(summary.files[0].path, "jpg/f0000008.jpg");
  EXPECT_EQ(summary.files[1].path, "jpg/f0000512.jpg");
  EXPECT_EQ(summary.files[2].path, "bmp/f0001024.bmp");
  EXPECT_EQ(summary.filesWritten, 3u);
  EXPECT_EQ(summary.bytesWritten, 2 * photo.size() + bitmap.size());
  const std::string written = testing::ReadWholeFile(dir / "jpg/f0000512.jpg");
  EXPECT_EQ(written, std::string(photo.begin(), photo.end()));
  EXPECT_FALSE(summary.stopped);
  EXPECT_EQ(summary.bytesPassed, std::uint64_t{1} << 20);

  // The same carve again into the same folder: every name is taken.
  const CarveSummary again = CarveFiles(session, plan, *destination, ui, stop);
  ASSERT_EQ(again.files.size(), 3u);
  EXPECT_EQ(again.files[0].path, "jpg/f0000008 (2).jpg");

  stop = true;
  const CarveSummary stopped = CarveFiles(session, plan, *destination, ui, stop);
  EXPECT_TRUE(stopped.stopped);
  EXPECT_TRUE(stopped.files.empty());
}

// The window's search: nothing is written; what is found becomes items
// under "Found by Content/<type>", each read back from where it lies.
TEST(FindCarvedFiles, FoundFilesBecomeItemsReadFromWhereTheyLie) {
  const FileBytes photo = testing::WriteJpeg({200, 150, true, 0, 85, 3});
  const FileBytes bitmap = testing::WriteBmp(40, 30, 4);
  FileBytes disk(1 << 20, 0);
  std::copy(photo.begin(), photo.end(), disk.begin() + 4096);
  std::copy(bitmap.begin(), bitmap.end(), disk.begin() + 512 * 1024);
  Session session;
  OpenDisk(session, disk);
  ApplyRange({FsType::none, 0, 2048, 2048, 0}, session.scan);
  testing::RecordingUiPort ui;
  CarveRequest request;
  request.types = {"jpg", "bmp"};
  const CarvePlan plan = PrepareCarveOfChosenRange(session, request, ui);
  ASSERT_TRUE(plan.outcome.Ok()) << plan.outcome.error;
  EXPECT_EQ(plan.area.end, disk.size()) << "the whole disk, every sector";
  std::atomic<bool> stop{false};

  const CarveSummary found = FindCarvedFiles(session, plan, ui, stop);
  FileCarvedItems(found.files, session.items);

  const auto& folders = session.items.FatFolders().Items();
  ASSERT_EQ(folders.size(), 3u);
  EXPECT_EQ(folders[0].name, "Found by Content");
  EXPECT_EQ(folders[1].name, "jpg");
  EXPECT_EQ(folders[2].name, "bmp");
  const auto& files = session.items.FatFiles().Items();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[1].name, "f0001024.bmp");
  EXPECT_EQ(files[1].parentCluster, folders[2].firstCluster);
  RecoveryRunState run;
  for (const auto& [position, want] : {std::pair{0u, photo}, std::pair{1u, bitmap}}) {
    const ItemBytes read = ReadItemBytes(session, position, SIZE_MAX, run);
    EXPECT_TRUE(read.whole) << read.error;
    EXPECT_EQ(read.bytes, want) << files[position].name;
  }
}

// A found file's bytes are its extents, in their order, whatever sectors
// they start and end in; extents that hold fewer bytes than its size say so.
struct ExtentCase {
  const char* name;
  std::vector<DiskExtent> extents;
  std::uint64_t size;
  bool whole;
};

const ExtentCase kExtentCases[] = {
    {"OneSectorAlignedPiece", {{4096, 3000}}, 3000, true},
    {"UnalignedPiecesOutOfOrder", {{70013, 1000}, {100, 600}}, 1600, true},
    {"APieceLongerThanOneRead", {{1001, 300000}}, 300000, true},
    {"SizeShorterThanThePieces", {{512, 2000}}, 1500, true},
    {"PiecesShorterThanTheSize", {{0, 100}}, 200, false},
};

class FoundExtentTest : public ::testing::TestWithParam<ExtentCase> {};

TEST_P(FoundExtentTest, ReadsTheExtentsInOrder) {
  const ExtentCase& c = GetParam();
  FileBytes disk(1 << 20);
  for (std::size_t i = 0; i < disk.size(); ++i) disk[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  Session session;
  OpenDisk(session, disk);
  FatFileItem file;
  file.name = "f.bin";
  file.size = c.size;
  CarvedPlacement placement;
  placement.extents = c.extents;
  placement.family = "zip";
  file.carved = std::make_shared<const CarvedPlacement>(std::move(placement));
  session.items.AddFatFile(file);
  FileBytes want;
  for (const DiskExtent& extent : c.extents) {
    want.insert(want.end(), disk.begin() + static_cast<std::ptrdiff_t>(extent.first),
                disk.begin() + static_cast<std::ptrdiff_t>(extent.first + extent.length));
  }
  want.resize(std::min<std::size_t>(want.size(), c.size));
  RecoveryRunState run;

  const ItemBytes read = ReadItemBytes(session, 0, SIZE_MAX, run);

  EXPECT_EQ(read.bytes, want);
  EXPECT_EQ(read.whole, c.whole);
  EXPECT_EQ(read.error.empty(), c.whole) << read.error;
}

INSTANTIATE_TEST_SUITE_P(Extents, FoundExtentTest, ::testing::ValuesIn(kExtentCases),
                         [](const ::testing::TestParamInfo<ExtentCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace salvex
