#include "support/stream_writers.h"

#include <zlib.h>

#include <array>
#include <string>

namespace salvex::testing {
namespace {

// Bits written most significant first.
class BitWriter {
 public:
  void Put(std::uint64_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      byte_ = static_cast<std::uint8_t>(byte_ << 1 | ((value >> i) & 1));
      if (++filled_ == 8) {
        bytes.push_back(byte_);
        byte_ = 0;
        filled_ = 0;
      }
    }
  }
  void Align() {
    while (filled_ != 0) Put(0, 1);
  }
  FileBytes bytes;

 private:
  std::uint8_t byte_ = 0;
  int filled_ = 0;
};

std::uint8_t Crc8(const FileBytes& bytes) {
  std::uint8_t crc = 0;
  for (const std::uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<std::uint8_t>(crc & 0x80 ? (crc << 1) ^ 0x07 : crc << 1);
  }
  return crc;
}

std::uint16_t Crc16(const FileBytes& bytes) {
  std::uint16_t crc = 0;
  for (const std::uint8_t byte : bytes) {
    crc ^= static_cast<std::uint16_t>(byte << 8);
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x8005 : crc << 1);
  }
  return crc;
}

std::uint32_t OggCrc(const FileBytes& bytes) {
  std::uint32_t crc = 0;
  for (const std::uint8_t byte : bytes) {
    crc ^= std::uint32_t{byte} << 24;
    for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

}  // namespace

FileBytes WriteMp3(int frames, std::uint32_t seed, bool tagged) {
  ByteWriter mp3;
  if (tagged) {
    // An ID3v2.3 tag with one title frame; its size in seven-bit bytes.
    ByteWriter tag;
    tag.Text("TIT2").Be(9, 4).Be(0, 2).U8(0).Text("Minutes");
    tag.bytes.resize(tag.Size() + 64, 0);  // padding
    const std::size_t size = tag.Size();
    mp3.Text("ID3").U8(3).U8(0).U8(0);
    for (int shift = 21; shift >= 0; shift -= 7) mp3.U8(static_cast<std::uint8_t>((size >> shift) & 0x7F));
    mp3.Append(tag.bytes);
  }
  const FileBytes noise = Noise(static_cast<std::size_t>(frames) * 418, seed);
  for (int i = 0; i < frames; ++i) {
    // 144 * 128000 / 44100 = 417 bytes, 418 with the padding bit.
    const bool padded = i % 3 == 1;
    const std::size_t length = padded ? 418 : 417;
    mp3.U8(0xFF).U8(0xFB).U8(padded ? 0x92 : 0x90).U8(0x64);
    mp3.bytes.insert(mp3.bytes.end(), noise.begin() + static_cast<std::ptrdiff_t>(i) * 418,
                     noise.begin() + static_cast<std::ptrdiff_t>(i) * 418 + static_cast<std::ptrdiff_t>(length - 4));
  }
  return mp3.bytes;
}

FileBytes WriteFlac(int frames, std::uint32_t seed) {
  constexpr int kBlock = 1152;
  ByteWriter flac;
  flac.Text("fLaC").U8(0x80).Be(34, 3);  // STREAMINFO, the last metadata block
  BitWriter info;
  info.Put(kBlock, 16);
  info.Put(kBlock, 16);
  info.Put(0, 24);
  info.Put(0, 24);
  info.Put(44100, 20);
  info.Put(0, 3);   // one channel
  info.Put(15, 5);  // 16 bits a sample
  info.Put(static_cast<std::uint64_t>(frames) * kBlock, 36);
  for (int i = 0; i < 16; ++i) info.Put(0, 8);  // no MD5
  flac.Append(info.bytes);
  const FileBytes noise = Noise(static_cast<std::size_t>(frames) * kBlock * 2, seed);
  for (int frame = 0; frame < frames; ++frame) {
    FileBytes header = {0xFF, 0xF8, 0x49, 0x08};  // 4608 samples' code is 5; 1152 is code 3 (576 * 2)
    header[2] = static_cast<std::uint8_t>(3 << 4 | 9);  // 1152 samples, 44.1 kHz
    header[3] = static_cast<std::uint8_t>(0 << 4 | 4 << 1);  // mono, 16 bits
    header.push_back(static_cast<std::uint8_t>(frame));     // the frame number (below 128)
    header.push_back(Crc8(header));
    BitWriter body;
    body.bytes = header;
    body.Put(0, 1);
    body.Put(1, 6);  // a verbatim subframe
    body.Put(0, 1);
    for (int i = 0; i < kBlock; ++i) {
      const std::size_t at = (static_cast<std::size_t>(frame) * kBlock + static_cast<std::size_t>(i)) * 2;
      body.Put(static_cast<std::uint64_t>(noise[at]) << 8 | noise[at + 1], 16);
    }
    body.Align();
    const std::uint16_t crc = Crc16(body.bytes);
    body.bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    body.bytes.push_back(static_cast<std::uint8_t>(crc));
    flac.Append(body.bytes);
  }
  return flac.bytes;
}

FileBytes WriteOgg(int pages, std::uint32_t seed) {
  ByteWriter ogg;
  const FileBytes noise = Noise(static_cast<std::size_t>(pages) * 4000, seed);
  for (int page = 0; page < pages; ++page) {
    FileBytes body;
    if (page == 0) {
      ByteWriter id;
      id.U8(1).Text("vorbis").Le(0, 4).U8(2).Le(44100, 4).Le(0, 4).Le(128000, 4).Le(0, 4).U8(0xB8).U8(1);
      body = id.bytes;
    } else {
      const std::size_t length = 1000 + static_cast<std::size_t>(noise[static_cast<std::size_t>(page)]) * 10;
      body.assign(noise.begin() + page * 1000, noise.begin() + page * 1000 + static_cast<std::ptrdiff_t>(length));
    }
    std::vector<std::uint8_t> lacing;
    std::size_t left = body.size();
    while (left >= 255) {
      lacing.push_back(255);
      left -= 255;
    }
    lacing.push_back(static_cast<std::uint8_t>(left));
    ByteWriter header;
    const std::uint8_t flags = page == 0 ? 0x02 : page == pages - 1 ? 0x04 : 0x00;
    header.Text("OggS").U8(0).U8(flags).Le(static_cast<std::uint64_t>(page) * 1024, 8).Le(0x1234 + seed, 4);
    header.Le(static_cast<std::uint32_t>(page), 4).Le(0, 4).U8(static_cast<std::uint8_t>(lacing.size()));
    header.bytes.insert(header.bytes.end(), lacing.begin(), lacing.end());
    header.Append(body);
    const std::uint32_t crc = OggCrc(header.bytes);
    for (int i = 0; i < 4; ++i) header.bytes[22 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (8 * i));
    ogg.Append(header.bytes);
  }
  return ogg.bytes;
}

FileBytes WriteWav(std::size_t samples, std::uint32_t seed) {
  const FileBytes data = Noise(samples * 4, seed);
  ByteWriter wav;
  wav.Text("RIFF").Le(36 + data.size(), 4).Text("WAVE");
  wav.Text("fmt ").Le(16, 4).Le(1, 2).Le(2, 2).Le(44100, 4).Le(44100 * 4, 4).Le(4, 2).Le(16, 2);
  wav.Text("data").Le(data.size(), 4).Append(data);
  return wav.bytes;
}

FileBytes WriteWebp(std::size_t payload, std::uint32_t seed) {
  payload += payload & 1;
  FileBytes data = Noise(payload, seed);
  data[0] = 0x2F;  // the lossless signature
  ByteWriter webp;
  webp.Text("RIFF").Le(4 + 8 + data.size(), 4).Text("WEBP").Text("VP8L").Le(data.size(), 4).Append(data);
  return webp.bytes;
}

FileBytes WriteTiff(int width, int height, std::uint32_t seed) {
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  ByteWriter tiff;
  tiff.Text("II").Le(42, 2).Le(8 + pixels, 4);
  tiff.Append(Noise(pixels, seed));
  const auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t value) {
    tiff.Le(tag, 2).Le(type, 2).Le(1, 4).Le(value, 4);
  };
  tiff.Le(8, 2);
  entry(256, 4, static_cast<std::uint32_t>(width));
  entry(257, 4, static_cast<std::uint32_t>(height));
  entry(258, 3, 8);
  entry(259, 3, 1);
  entry(262, 3, 1);
  entry(273, 4, 8);
  entry(278, 4, static_cast<std::uint32_t>(height));
  entry(279, 4, static_cast<std::uint32_t>(pixels));
  tiff.Le(0, 4);
  return tiff.bytes;
}

FileBytes WriteGzip(std::size_t size, std::uint32_t seed) {
  std::string text;
  for (std::size_t line = 0; text.size() < size; ++line) text += "line " + std::to_string(line * (seed + 1)) + " of the log\n";
  text.resize(size);
  return DeflateWithWindow(FileBytes(text.begin(), text.end()), 16 + MAX_WBITS);
}

}  // namespace salvex::testing
