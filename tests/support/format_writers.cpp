#include "support/format_writers.h"

#include <zlib.h>

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

FileBytes Deflate(const FileBytes& data, bool zlibWrapped) {
  return DeflateWithWindow(data, zlibWrapped ? MAX_WBITS : -MAX_WBITS);
}

FileBytes DeflateWithWindow(const FileBytes& data, int windowBits) {
  z_stream stream{};
  deflateInit2(&stream, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
  // A gzip header and trailer are not in deflate's bound.
  FileBytes out(deflateBound(&stream, static_cast<uLong>(data.size())) + 32);
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

namespace {

std::uint32_t CrcOf(const FileBytes& bytes) {
  return static_cast<std::uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
}

void PngChunk(ByteWriter& png, std::string_view type, const FileBytes& data) {
  ByteWriter typed;
  typed.Text(type).Append(data);
  png.Be(data.size(), 4).Append(typed.bytes).Be(CrcOf(typed.bytes), 4);
}

}  // namespace

FileBytes WritePng(int width, int height, std::uint32_t seed, std::size_t idatChunk) {
  ByteWriter png;
  png.U8(0x89).Text("PNG\r\n").U8(0x1A).Text("\n");
  ByteWriter header;
  header.Be(static_cast<std::uint32_t>(width), 4).Be(static_cast<std::uint32_t>(height), 4).U8(8).U8(2).U8(0).U8(0).U8(0);
  PngChunk(png, "IHDR", header.bytes);
  // Smooth rows with a little noise: they deflate as photos do, not to nothing.
  FileBytes rows;
  const FileBytes noise = Noise(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), seed);
  for (int y = 0; y < height; ++y) {
    rows.push_back(0);
    for (int x = 0; x < width; ++x) {
      const std::uint8_t n = noise[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] & 0x0F;
      rows.push_back(static_cast<std::uint8_t>(x * 255 / std::max(1, width) + n));
      rows.push_back(static_cast<std::uint8_t>(y * 255 / std::max(1, height) + n));
      rows.push_back(static_cast<std::uint8_t>(seed * 37 + n));
    }
  }
  const FileBytes packed = Deflate(rows, true);
  for (std::size_t at = 0; at < packed.size(); at += idatChunk) {
    const std::size_t length = std::min(idatChunk, packed.size() - at);
    PngChunk(png, "IDAT", FileBytes(packed.begin() + static_cast<std::ptrdiff_t>(at),
                                    packed.begin() + static_cast<std::ptrdiff_t>(at + length)));
  }
  PngChunk(png, "IEND", {});
  return png.bytes;
}

FileBytes WriteBmp(int width, int height, std::uint32_t seed) {
  const std::size_t rowBytes = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  const std::size_t pixels = rowBytes * static_cast<std::size_t>(height);
  ByteWriter bmp;
  bmp.Text("BM").Le(54 + pixels, 4).Le(0, 4).Le(54, 4);
  bmp.Le(40, 4).Le(static_cast<std::uint32_t>(width), 4).Le(static_cast<std::uint32_t>(height), 4).Le(1, 2).Le(24, 2);
  bmp.Le(0, 4).Le(pixels, 4).Le(2835, 4).Le(2835, 4).Le(0, 4).Le(0, 4);
  bmp.Append(Noise(pixels, seed));
  return bmp.bytes;
}

FileBytes WriteZip(const std::vector<ZipMember>& members) {
  ByteWriter zip;
  ByteWriter directory;
  for (const ZipMember& member : members) {
    const FileBytes packed = member.deflate ? Deflate(member.data, false) : member.data;
    const std::uint32_t crc = CrcOf(member.data);
    const auto offset = static_cast<std::uint32_t>(zip.Size());
    const auto fields = [&](ByteWriter& to) {
      to.Le(20, 2).Le(0, 2).Le(member.deflate ? 8 : 0, 2).Le(0x5A210000, 4).Le(crc, 4);
      to.Le(packed.size(), 4).Le(member.data.size(), 4).Le(member.name.size(), 2).Le(0, 2);
    };
    zip.Le(0x04034B50, 4);
    fields(zip);
    zip.Text(member.name).Append(packed);
    directory.Le(0x02014B50, 4).Le(20, 2);
    fields(directory);
    directory.Le(0, 2).Le(0, 2).Le(0, 2).Le(0, 4).Le(offset, 4).Text(member.name);
  }
  const auto start = static_cast<std::uint32_t>(zip.Size());
  zip.Append(directory.bytes);
  zip.Le(0x06054B50, 4).Le(0, 4).Le(members.size(), 2).Le(members.size(), 2);
  zip.Le(directory.Size(), 4).Le(start, 4).Le(0, 2);
  return zip.bytes;
}

}  // namespace salvex::testing
