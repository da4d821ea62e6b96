#include "support/format_writers.h"

#include <algorithm>
#include <cstdio>

namespace salvex::testing {

FileBytes Noise(std::size_t size, std::uint32_t seed) {
  FileBytes bytes(size);
  std::uint32_t state = seed * 2654435761u + 12345u;
  for (std::uint8_t& byte : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<std::uint8_t>(state >> 11);
  }
  return bytes;
}

namespace {

// LZW codes of 9 bits, least significant bit first, packed into sub-blocks.
class GifCodes {
 public:
  void Put(std::uint32_t code) {
    bits_ |= code << count_;
    count_ += 9;
    while (count_ >= 8) {
      data_.push_back(static_cast<std::uint8_t>(bits_));
      bits_ >>= 8;
      count_ -= 8;
    }
  }
  FileBytes SubBlocks() {
    if (count_ > 0) data_.push_back(static_cast<std::uint8_t>(bits_));
    count_ = 0;
    FileBytes out;
    for (std::size_t at = 0; at < data_.size(); at += 255) {
      const std::size_t length = std::min<std::size_t>(255, data_.size() - at);
      out.push_back(static_cast<std::uint8_t>(length));
      out.insert(out.end(), data_.begin() + static_cast<std::ptrdiff_t>(at),
                 data_.begin() + static_cast<std::ptrdiff_t>(at + length));
    }
    out.push_back(0);
    return out;
  }

 private:
  FileBytes data_;
  std::uint32_t bits_ = 0;
  int count_ = 0;
};

}  // namespace

FileBytes WriteGif(int width, int height, std::uint32_t seed) {
  ByteWriter gif;
  gif.Text("GIF89a").Le(static_cast<std::uint32_t>(width), 2).Le(static_cast<std::uint32_t>(height), 2);
  gif.U8(0xF7).U8(0).U8(0);  // a global table of 256 colours
  gif.Append(Noise(768, seed));
  gif.U8(0x21).U8(0xF9).U8(4).U8(0).Le(0, 2).U8(0).U8(0);  // graphic control
  gif.U8(0x2C).Le(0, 2).Le(0, 2).Le(static_cast<std::uint32_t>(width), 2).Le(static_cast<std::uint32_t>(height), 2);
  gif.U8(0).U8(8);
  const FileBytes pixels = Noise(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), seed + 1);
  GifCodes codes;
  constexpr std::uint32_t kClear = 256;
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    // A clear before the table would need a tenth bit.
    if (i % 250 == 0) codes.Put(kClear);
    codes.Put(pixels[i]);
  }
  codes.Put(kClear + 1);
  gif.Append(codes.SubBlocks());
  gif.U8(0x3B);
  return gif.bytes;
}

FileBytes WritePdf(int pages, std::uint32_t seed) {
  std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<std::size_t> offsets;
  const auto object = [&](const std::string& body) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
  };
  std::string kids;
  for (int page = 0; page < pages; ++page) kids += std::to_string(3 + 2 * page) + " 0 R ";
  object("<< /Type /Catalog /Pages 2 0 R >>");
  object("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
  for (int page = 0; page < pages; ++page) {
    const std::string text = "BT /F1 12 Tf 72 720 Td (Page " + std::to_string(page + 1) + " of the minutes, seed " +
                             std::to_string(seed) + ") Tj ET";
    object("<< /Type /Page /Parent 2 0 R /Contents " + std::to_string(4 + 2 * page) + " 0 R >>");
    object("<< /Length " + std::to_string(text.size()) + " >>\nstream\n" + text + "\nendstream");
  }
  const std::size_t table = pdf.size();
  pdf += "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f\r\n";
  for (const std::size_t offset : offsets) {
    char entry[21];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n\r\n", offset);
    pdf += entry;
  }
  pdf += "trailer\n<< /Size " + std::to_string(offsets.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
         std::to_string(table) + "\n%%EOF\n";
  return FileBytes(pdf.begin(), pdf.end());
}

}  // namespace salvex::testing
