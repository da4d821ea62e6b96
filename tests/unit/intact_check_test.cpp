// LooksIntact on whole files of each kind it judges, built here by their
// formats' rules, and on the ways a recovered file goes wrong: cut short,
// a piece of another file in the middle, the start overwritten; JPEGs
// whose coded data another file's bytes replaced; ZIPs built to make the
// check run for hours.

#include "content/intact_check.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "common/crc32.h"
#include "common/le_bytes.h"
#include "support/container_writers.h"
#include "support/format_writers.h"
#include "support/stream_writers.h"
#include "support/jpeg_writer.h"

namespace salvex {
namespace {

using Buffer = std::vector<std::uint8_t>;

// A byte at a time: GCC 12 at -O3 takes a range insert into a vector that
// just grew for an overflow and warns.
void Append(Buffer& to, std::string_view text) {
  for (const char c : text) to.push_back(static_cast<std::uint8_t>(c));
}
void Append(Buffer& to, const Buffer& more) { to.insert(to.end(), more.begin(), more.end()); }
void Le(Buffer& to, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) to.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
void Be32(Buffer& to, std::uint32_t value) {
  for (int i = 3; i >= 0; --i) to.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

Buffer Pattern(std::size_t size, std::uint8_t seed) {
  Buffer bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + seed) % 251);
  return bytes;
}


Buffer Jpeg() { return testing::WriteJpeg({}); }

void PngChunk(Buffer& png, std::string_view type, const Buffer& data) {
  Be32(png, static_cast<std::uint32_t>(data.size()));
  Buffer typed;
  Append(typed, type);
  Append(typed, data);
  Append(png, typed);
  Be32(png, Crc32(typed));
}

Buffer Png() {
  Buffer png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Buffer header;
  Be32(header, 16);
  Be32(header, 16);
  header.insert(header.end(), {8, 0, 0, 0, 0});
  PngChunk(png, "IHDR", header);
  PngChunk(png, "IDAT", Pattern(400, 3));
  PngChunk(png, "IEND", {});
  return png;
}

Buffer Gif() { return testing::WriteGif(20, 10, 5); }

struct ZipMember {
  std::string name;
  Buffer data;
  bool deflate;
};

// Members stored and deflated, with local headers, a central directory and
// its end record, as zip(1) writes them. `listed` names the members the
// directory lists, in order (by default each once).
Buffer ZipOf(const std::vector<ZipMember>& members, std::vector<std::size_t> listed = {}) {
  if (listed.empty()) {
    for (std::size_t i = 0; i < members.size(); ++i) listed.push_back(i);
  }
  Buffer zip;
  std::vector<Buffer> entries;
  for (const ZipMember& member : members) {
    const Buffer packed = member.deflate ? testing::Deflate(member.data, false) : member.data;
    const std::uint32_t crc = Crc32(member.data);
    const auto offset = static_cast<std::uint32_t>(zip.size());
    const auto fields = [&](Buffer& to) {
      Le(to, 20, 2);
      Le(to, 0, 2);
      Le(to, member.deflate ? 8 : 0, 2);
      Le(to, 0, 4);  // time and date
      Le(to, crc, 4);
      Le(to, static_cast<std::uint32_t>(packed.size()), 4);
      Le(to, static_cast<std::uint32_t>(member.data.size()), 4);
      Le(to, static_cast<std::uint32_t>(member.name.size()), 2);
      Le(to, 0, 2);
    };
    Le(zip, 0x04034B50, 4);
    fields(zip);
    Append(zip, member.name);
    Append(zip, packed);
    Buffer entry;
    Le(entry, 0x02014B50, 4);
    Le(entry, 20, 2);
    fields(entry);
    Le(entry, 0, 2);  // comment
    Le(entry, 0, 2);  // disk
    Le(entry, 0, 2);
    Le(entry, 0, 4);
    Le(entry, offset, 4);
    Append(entry, member.name);
    entries.push_back(std::move(entry));
  }
  const auto start = static_cast<std::uint32_t>(zip.size());
  for (const std::size_t index : listed) Append(zip, entries[index]);
  const auto directorySize = static_cast<std::uint32_t>(zip.size() - start);
  Le(zip, 0x06054B50, 4);
  Le(zip, 0, 4);
  Le(zip, static_cast<std::uint32_t>(listed.size()), 2);
  Le(zip, static_cast<std::uint32_t>(listed.size()), 2);
  Le(zip, directorySize, 4);
  Le(zip, start, 4);
  Le(zip, 0, 2);
  return zip;
}

Buffer Zip() { return ZipOf({{"word/document.xml", Pattern(5000, 7), true}, {"mimetype", Pattern(40, 9), false}}); }

Buffer Pdf() { return testing::WritePdf(3, 11); }

Buffer CutInHalf(Buffer bytes) {
  bytes.resize(bytes.size() / 2);
  return bytes;
}
Buffer OtherBytesInTheMiddle(Buffer bytes) {
  for (std::size_t i = bytes.size() / 3; i < bytes.size() / 3 + 64 && i < bytes.size(); ++i) bytes[i] ^= 0x5A;
  return bytes;
}
Buffer StartOverwritten(Buffer bytes) {
  std::fill(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(bytes.size(), 16)), 0);
  return bytes;
}

struct KindCase {
  const char* name;
  const char* fileName;
  std::function<Buffer()> make;
  bool middleIsChecked;  // the format carries a check over its middle bytes
};

const KindCase kKinds[] = {
    {"Jpeg", "IMG_0001.JPG", Jpeg, true}, {"Png", "shot.png", Png, true},
    {"Gif", "anim.gif", Gif, false},       {"Docx", "report.docx", Zip, true},
    {"Pdf", "paper.pdf", Pdf, false},
};

class IntactCheckTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(IntactCheckTest, WholeFilesPassAndDamagedOnesFail) {
  const KindCase& kind = GetParam();
  const Buffer whole = kind.make();
  EXPECT_EQ(LooksIntact(kind.fileName, whole), true);
  EXPECT_EQ(LooksIntact(kind.fileName, CutInHalf(whole)), false);
  EXPECT_EQ(LooksIntact(kind.fileName, StartOverwritten(whole)), false) << "a deleted file whose start is another's";
  EXPECT_EQ(LooksIntact(kind.fileName, {}), false);
  if (kind.middleIsChecked) {
    EXPECT_EQ(LooksIntact(kind.fileName, OtherBytesInTheMiddle(whole)), false);
  }
  // Without a telling name the first bytes give the kind.
  EXPECT_EQ(LooksIntact("FILE0001.CHK", whole), true);
}

INSTANTIATE_TEST_SUITE_P(Kinds, IntactCheckTest, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<KindCase>& param) { return std::string(param.param.name); });

TEST(IntactCheck, KindsItCannotJudgeHaveNoVerdict) {
  EXPECT_EQ(LooksIntact("notes.txt", Pattern(100, 1)), std::nullopt);
  EXPECT_EQ(LooksIntact("", {}), std::nullopt);
  Buffer stored = Zip();
  const std::uint32_t directory = u32le(stored, stored.size() - 6);
  stored[directory + 10] = 14;  // the first member in LZMA: a method not read here
  EXPECT_EQ(LooksIntact("a.zip", stored), std::nullopt);
}

// Text where a cluster of the coded data was, the file's end (and its
// end-of-image marker) still in place: the markers alone cannot tell.
Buffer TextInTheMiddle(Buffer bytes) {
  const std::string_view text = "Minutes of the meeting: bring the slides, room 4 at 10:30.\n";
  const std::size_t from = bytes.size() / 3;
  for (std::size_t i = 0; i < 2048 && from + i + 2 < bytes.size(); ++i) bytes[from + i] = text[i % text.size()];
  return bytes;
}
Buffer SecondHalfText(Buffer bytes) {
  const std::string_view text = "Dear all, the second half of this file is a letter.\n";
  for (std::size_t i = bytes.size() / 2; i < bytes.size(); ++i) bytes[i] = text[i % text.size()];
  return bytes;
}

struct JpegCase {
  const char* name;
  testing::JpegPicture picture;
};

class IntactCheckJpegTest : public ::testing::TestWithParam<JpegCase> {};

TEST_P(IntactCheckJpegTest, AnotherFilesBytesInTheCodedDataFail) {
  const Buffer whole = testing::WriteJpeg(GetParam().picture);
  ASSERT_EQ(LooksIntact("DSC_0042.JPG", whole), true);
  EXPECT_EQ(LooksIntact("DSC_0042.JPG", TextInTheMiddle(whole)), false);
  EXPECT_EQ(LooksIntact("DSC_0042.JPG", SecondHalfText(whole)), false);
  // The same picture with a cluster's worth of zeros (a hole) in its data.
  Buffer hole = whole;
  std::fill_n(hole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2), 2048, 0);
  EXPECT_EQ(LooksIntact("DSC_0042.JPG", hole), false);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, IntactCheckJpegTest,
    ::testing::Values(JpegCase{"Colour", {400, 300, true, 0, 85, 1}},
                      JpegCase{"ColourWithRestarts", {400, 300, true, 4, 90, 2}},
                      JpegCase{"Grey", {333, 250, false, 0, 75, 3}},
                      JpegCase{"GreyWithRestarts", {333, 250, false, 7, 60, 4}}),
    [](const ::testing::TestParamInfo<JpegCase>& param) { return std::string(param.param.name); });

// One member of 1 MiB, listed 4,000 times by the central directory: its
// data is inflated once, whatever the directory says.
TEST(IntactCheckBudget, AMemberListedManyTimesIsInflatedOnce) {
  const std::vector<ZipMember> members = {{"big.bin", Buffer(1 << 20, 0), true}};
  const Buffer bomb = ZipOf(members, std::vector<std::size_t>(4000, 0));
  IntactCheckBudget budget;
  const std::uint64_t before = budget.leftInRun;
  EXPECT_EQ(LooksIntact("bomb.zip", bomb, budget), true);
  EXPECT_EQ(before - budget.leftInRun, 1u << 20);
}

struct BudgetCase {
  const char* name;
  std::uint64_t perFile;
  std::uint64_t leftInRun;
  bool stopped;
};

class IntactCheckBudgetTest : public ::testing::TestWithParam<BudgetCase> {};

// Past the budget, or stopped, an archive has no verdict; a damaged member
// after the budget's end still fails it on its structure.
TEST_P(IntactCheckBudgetTest, NoVerdictPastTheBudgetOrAfterStop) {
  const BudgetCase& c = GetParam();
  const std::vector<ZipMember> members = {{"a.bin", Pattern(300000, 1), true}, {"b.bin", Pattern(300000, 2), true}};
  const Buffer zip = ZipOf(members);
  std::atomic<bool> stop{c.stopped};
  IntactCheckBudget budget{c.perFile, c.leftInRun, &stop};
  EXPECT_EQ(LooksIntact("two.zip", zip, budget), std::nullopt);
  EXPECT_EQ(budget.filesOverBudget, c.stopped ? 0u : 1u);
  if (c.stopped) return;
  Buffer broken = zip;
  broken[broken.size() - 22 - (46 + 5) + 42] ^= 0x01;  // the last entry's local header offset
  IntactCheckBudget again{c.perFile, c.leftInRun, &stop};
  EXPECT_EQ(LooksIntact("two.zip", broken, again), false);
}

INSTANTIATE_TEST_SUITE_P(Cases, IntactCheckBudgetTest,
                         ::testing::Values(BudgetCase{"PerFile", 400000, std::uint64_t{1} << 40, false},
                                           BudgetCase{"PerRun", std::uint64_t{1} << 30, 400000, false},
                                           BudgetCase{"Stopped", std::uint64_t{1} << 30, std::uint64_t{1} << 40, true}),
                         [](const auto& param) { return std::string(param.param.name); });

// A gzip file of several members spends one budget over all of them, as a
// ZIP's members do: two members that each fit the file's budget but not
// together leave the file unjudged.
TEST_P(IntactCheckBudgetTest, GzipMembersShareTheBudget) {
  const BudgetCase& c = GetParam();
  Buffer twoMembers = testing::WriteGzip(300000, 1);
  const Buffer second = testing::WriteGzip(300000, 2);
  twoMembers.insert(twoMembers.end(), second.begin(), second.end());
  IntactCheckBudget ample;
  ASSERT_EQ(LooksIntact("two.gz", twoMembers, ample), true);
  std::atomic<bool> stop{c.stopped};
  IntactCheckBudget budget{c.perFile, c.leftInRun, &stop};
  EXPECT_EQ(LooksIntact("two.gz", twoMembers, budget), std::nullopt);
  EXPECT_EQ(budget.filesOverBudget, c.stopped ? 0u : 1u);
}

TEST(IntactCheckBudget, TwoEntriesOfOneMemberThatDisagreeFail) {
  const std::vector<ZipMember> members = {{"a.bin", Pattern(5000, 1), true}};
  Buffer zip = ZipOf(members, {0, 0});
  const std::uint32_t directory = u32le(zip, zip.size() - 6);
  const std::size_t second = directory + 46 + 5;
  zip[second + 16] ^= 0xFF;  // the second entry's CRC
  EXPECT_EQ(LooksIntact("a.zip", zip), false);
}

struct KindVerdict {
  const char* fileName;
  std::function<Buffer()> make;
  std::optional<bool> whole;  // the verdict on the whole file
};

// The kinds the carver knows are judged for `--check` by the same walks:
// whole files true where what they carry has a check, no verdict where it
// has none; cut short, always false.
TEST(IntactCheck, TheCarversKindsAreJudgedByTheSameWalks) {
  const KindVerdict kinds[] = {
      {"clip.mp4", [] { return testing::WriteMp4(20, 1); }, std::nullopt},
      {"clip.avi", [] { return testing::WriteAvi(20, 2); }, std::nullopt},
      {"take.wav", [] { return testing::WriteWav(5000, 3); }, std::nullopt},
      {"scan.tif", [] { return testing::WriteTiff(60, 40, 4); }, std::nullopt},
      {"song.mp3", [] { return testing::WriteMp3(40, 5, true); }, std::nullopt},
      {"song.flac", [] { return testing::WriteFlac(6, 6); }, true},
      {"song.ogg", [] { return testing::WriteOgg(6, 7); }, true},
      {"letter.doc", [] { return testing::WriteOle2(9000, {}, 0, 8); }, std::nullopt},
      {"backup.7z", [] { return testing::WriteSevenZip(9000, 9); }, std::nullopt},
      {"backup.rar", [] { return testing::WriteRar5(9000, 10); }, std::nullopt},
      {"log.gz", [] { return testing::WriteGzip(20000, 11); }, true},
  };
  for (const KindVerdict& kind : kinds) {
    const Buffer whole = kind.make();
    EXPECT_EQ(LooksIntact(kind.fileName, whole), kind.whole) << kind.fileName;
    EXPECT_EQ(LooksIntact(kind.fileName, CutInHalf(whole)), false) << kind.fileName;
    EXPECT_EQ(LooksIntact("FILE0001.CHK", whole), kind.whole) << kind.fileName << " by its first bytes";
  }
}

// A video whose samples another file's bytes replaced is false: its track
// says what each sample must start with.
TEST(IntactCheck, AVideoWithOverwrittenSamplesIsNotIntact) {
  Buffer video = testing::WriteMp4(40, 12);
  std::fill_n(video.begin() + static_cast<std::ptrdiff_t>(video.size() / 3), 8192, 0x20);
  EXPECT_EQ(LooksIntact("clip.mp4", video), false);
}

}  // namespace
}  // namespace salvex
