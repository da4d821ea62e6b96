// The walks of src/content on inputs the fuzzers found wrong: each stays
// inside the bytes and gives the verdict its bytes call for.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>

#include "carve/carve_format.h"
#include "content/content_source.h"
#include "support/format_writers.h"
#include "support/jpeg_writer.h"

namespace salvex {
namespace {

using testing::FileBytes;

struct WalkCase {
  const char* name;
  const char* family;
  std::function<FileBytes()> make;
  Soundness expected;
};

FileBytes Text(std::string_view text) { return FileBytes(text.begin(), text.end()); }

const WalkCase kCases[] = {
    {"JpegHuffmanCountsPastTheirLengths", "jpg",
     [] {
       // SOI, then a DHT whose 2-bit codes number five (two fit).
       const std::uint8_t head[] = {0xFF, 0xD8, 0xFF, 0xC4, 0x00, 0x18, 0x00, 0x00, 0x05};
       FileBytes jpeg(sizeof head + 14, 0);
       std::copy(std::begin(head), std::end(head), jpeg.begin());
       for (int i = 0; i < 5; ++i) jpeg.push_back(static_cast<std::uint8_t>(i));
       jpeg.push_back(0xFF);
       jpeg.push_back(0xD9);
       return jpeg;
     },
     Soundness::damaged},
    {"GifBytesAfterTheEndCode", "gif",
     [] {
       FileBytes gif = testing::WriteGif(4, 4, 1);
       // Sub-blocks of 0xFF after the image's codes, before the terminator.
       const std::size_t terminator = gif.size() - 2;
       gif.insert(gif.begin() + static_cast<std::ptrdiff_t>(terminator), {8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
       return gif;
     },
     Soundness::whole},
    {"FlacMetadataBlockPastTheEnd", "flac",
     [] { return Text(std::string("fLaC\x80\x00\x00\x22", 8) + std::string(8, '\x04') + "1LaC"); },
     Soundness::cutShort},
    {"PdfEofAsItsLastBytes", "pdf",
     [] {
       FileBytes pdf = testing::WritePdf(2, 3);
       pdf.pop_back();  // the line end after "%%EOF"
       return pdf;
     },
     Soundness::whole},
    {"RarSignatureAlone", "rar", [] { return Text(std::string("Rar!\x1A\x07\x01", 7)); }, Soundness::notThisKind},
    {"AviIndexPastTheFile", "avi",
     [] {
       // An index entry that names a chunk 4 GiB on.
       testing::ByteWriter riff;
       riff.Text("AVI ").Text("LIST").Le(12, 4).Text("movi").Text("00dc").Le(0, 4);
       riff.Text("idx1").Le(16, 4).Text("00dc").Le(0, 4).Le(0xFFFFFF00, 4).Le(0, 4);
       testing::ByteWriter avi;
       avi.Text("RIFF").Le(riff.Size(), 4).Append(riff.bytes);
       return avi.bytes;
     },
     Soundness::damaged},
};

class ContentWalkTest : public ::testing::TestWithParam<WalkCase> {};

TEST_P(ContentWalkTest, StaysInsideItsBytesAndGivesTheVerdictTheyCallFor) {
  const WalkCase& c = GetParam();
  const FileBytes bytes = c.make();
  const CarveFormat* format = CarveFormatNamed(c.family);
  ASSERT_NE(format, nullptr);
  SpanSource source(bytes);
  IntactCheckBudget budget;
  const ContentExtent extent = format->walk(source, budget);
  EXPECT_EQ(extent.soundness, c.expected) << extent.why;
  EXPECT_LE(extent.soundUpTo, bytes.size());
  if (extent.soundness != Soundness::whole) return;
  EXPECT_EQ(extent.end, bytes.size());
  // Cut to its own end, it is the same file.
  SpanSource own(Bytes(bytes).first(static_cast<std::size_t>(extent.end)));
  EXPECT_EQ(format->walk(own, budget).soundness, Soundness::whole);
}

INSTANTIATE_TEST_SUITE_P(Inputs, ContentWalkTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<WalkCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace salvex
