// LooksIntact on whole files of each kind it judges, built here by their
// formats' rules, and on the ways a recovered file goes wrong: cut short,
// a piece of another file in the middle, the start overwritten.

#include "content/intact_check.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <string>
#include <vector>

#include "common/crc32.h"
#include "common/le_bytes.h"

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

Buffer RawDeflate(const Buffer& data) {
  z_stream stream{};
  deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  Buffer out(deflateBound(&stream, static_cast<uLong>(data.size())));
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// Baseline JPEG markers around entropy-coded data with a stuffed 0xFF and
// a restart marker in it.
Buffer Jpeg() {
  Buffer jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10};
  Append(jpeg, std::string_view("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
  const std::uint8_t tables[] = {0xFF, 0xDB, 0x00, 0x43, 0x00};
  jpeg.insert(jpeg.end(), std::begin(tables), std::end(tables));
  Append(jpeg, Pattern(64, 1));
  const std::uint8_t frame[] = {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x10, 0x00, 0x10, 0x01, 0x01, 0x11, 0x00,
                                0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00};
  jpeg.insert(jpeg.end(), std::begin(frame), std::end(frame));
  for (int i = 0; i < 300; ++i) jpeg.push_back(static_cast<std::uint8_t>(i % 0xFF));
  const std::uint8_t coded[] = {0xFF, 0x00, 0x12, 0xFF, 0xD0, 0x34, 0xFF, 0xD9};
  jpeg.insert(jpeg.end(), std::begin(coded), std::end(coded));
  return jpeg;
}

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

Buffer Gif() {
  Buffer gif;
  Append(gif, "GIF89a");
  Append(gif, Pattern(200, 5));
  gif.push_back(0x3B);
  return gif;
}

// Members stored and deflated, with local headers, a central directory and
// its end record, as zip(1) writes them.
Buffer Zip() {
  struct Member {
    std::string name;
    Buffer data;
    bool deflate;
  };
  const Member members[] = {{"word/document.xml", Pattern(5000, 7), true}, {"mimetype", Pattern(40, 9), false}};
  Buffer zip, directory;
  for (const Member& member : members) {
    const Buffer packed = member.deflate ? RawDeflate(member.data) : member.data;
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
    Le(directory, 0x02014B50, 4);
    Le(directory, 20, 2);
    fields(directory);
    Le(directory, 0, 2);  // comment
    Le(directory, 0, 2);  // disk
    Le(directory, 0, 2);
    Le(directory, 0, 4);
    Le(directory, offset, 4);
    Append(directory, member.name);
  }
  const auto start = static_cast<std::uint32_t>(zip.size());
  Append(zip, directory);
  Le(zip, 0x06054B50, 4);
  Le(zip, 0, 4);
  Le(zip, 2, 2);
  Le(zip, 2, 2);
  Le(zip, static_cast<std::uint32_t>(directory.size()), 4);
  Le(zip, start, 4);
  Le(zip, 0, 2);
  return zip;
}

Buffer Pdf() {
  Buffer pdf;
  Append(pdf, "%PDF-1.7\n");
  Append(pdf, Pattern(3000, 11));
  Append(pdf, "\nstartxref\n123\n%%EOF\n");
  return pdf;
}

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
    {"Jpeg", "IMG_0001.JPG", Jpeg, false}, {"Png", "shot.png", Png, true},
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

}  // namespace
}  // namespace salvex
