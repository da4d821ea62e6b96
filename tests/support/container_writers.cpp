#include "support/container_writers.h"

#include <zlib.h>

#include <algorithm>
#include <string>

namespace salvex::testing {
namespace {

std::uint32_t CrcOf(const FileBytes& bytes, std::size_t from = 0, std::size_t to = SIZE_MAX) {
  to = std::min(to, bytes.size());
  return static_cast<std::uint32_t>(crc32(0, bytes.data() + from, static_cast<uInt>(to - from)));
}

// A box: its size, its type and what it holds.
FileBytes Box(std::string_view type, const FileBytes& payload) {
  ByteWriter box;
  box.Be(8 + payload.size(), 4).Text(type).Append(payload);
  return box.bytes;
}

FileBytes Boxes(std::initializer_list<FileBytes> boxes) {
  FileBytes all;
  for (const FileBytes& box : boxes) all.insert(all.end(), box.begin(), box.end());
  return all;
}

FileBytes Full(std::uint32_t versionAndFlags, const FileBytes& rest) {
  ByteWriter payload;
  payload.Be(versionAndFlags, 4).Append(rest);
  return payload.bytes;
}

}  // namespace

FileBytes WriteMp4(int frames, std::uint32_t seed, bool movieFirst) {
  // The samples: an IDR picture first, then slices, each one or two NAL units.
  std::vector<FileBytes> samples;
  const FileBytes noise = Noise(static_cast<std::size_t>(frames) * 6000 + 16, seed);
  std::size_t taken = 0;
  for (int i = 0; i < frames; ++i) {
    ByteWriter sample;
    const int units = i % 3 == 0 ? 2 : 1;
    for (int unit = 0; unit < units; ++unit) {
      const std::size_t length = 200 + (noise[taken] * 17 + static_cast<std::size_t>(i) * 31) % 2500;
      sample.Be(length, 4).U8(i == 0 ? 0x65 : 0x41);
      sample.bytes.insert(sample.bytes.end(), noise.begin() + static_cast<std::ptrdiff_t>(taken),
                          noise.begin() + static_cast<std::ptrdiff_t>(taken + length - 1));
      taken += length - 1;
    }
    samples.push_back(sample.bytes);
  }
  const FileBytes ftyp = Box("ftyp", ByteWriter{}.Text("isom").Be(512, 4).Text("isomavc1mp41").bytes);
  FileBytes media;
  for (const FileBytes& sample : samples) media.insert(media.end(), sample.begin(), sample.end());
  const auto movie = [&](std::uint64_t mediaStart) {
    ByteWriter sizes;  // no common size: each sample's own
    sizes.Be(0, 4).Be(samples.size(), 4);
    for (const FileBytes& sample : samples) sizes.Be(sample.size(), 4);
    // Two chunks: the first half of the samples, then the rest.
    const std::size_t half = samples.size() / 2;
    std::uint64_t second = mediaStart;
    for (std::size_t i = 0; i < half; ++i) second += samples[i].size();
    ByteWriter chunks;
    chunks.Be(2, 4).Be(mediaStart, 4).Be(second, 4);
    ByteWriter toChunk;
    toChunk.Be(2, 4).Be(1, 4).Be(half, 4).Be(1, 4).Be(2, 4).Be(samples.size() - half, 4).Be(1, 4);
    ByteWriter entry;
    entry.Be(0, 6).Be(1, 2).Be(0, 16).Be(320, 2).Be(240, 2).Be(0x00480000, 4).Be(0x00480000, 4).Be(0, 4).Be(1, 2);
    entry.Append(FileBytes(32, 0)).Be(24, 2).Be(0xFFFF, 2);
    entry.Append(Box("avcC", ByteWriter{}.U8(1).U8(0x64).U8(0).U8(0x1F).U8(0xFF).U8(0xE0).U8(0).bytes));
    const FileBytes stsd = Box("stsd", Full(0, ByteWriter{}.Be(1, 4).Append(Box("avc1", entry.bytes)).bytes));
    const FileBytes stbl = Box("stbl", Boxes({stsd, Box("stts", Full(0, ByteWriter{}.Be(1, 4).Be(samples.size(), 4).Be(1000, 4).bytes)),
                                               Box("stsc", Full(0, toChunk.bytes)), Box("stsz", Full(0, sizes.bytes)),
                                               Box("stco", Full(0, chunks.bytes))}));
    const FileBytes minf = Box("minf", Boxes({Box("vmhd", Full(1, FileBytes(8, 0))), stbl}));
    const FileBytes mdia = Box("mdia", Boxes({Box("mdhd", Full(0, FileBytes(20, 0))),
                                              Box("hdlr", Full(0, ByteWriter{}.Be(0, 4).Text("vide").Be(0, 12).Text("Video").U8(0).bytes)),
                                              minf}));
    const FileBytes trak = Box("trak", Boxes({Box("tkhd", Full(3, FileBytes(80, 0))), mdia}));
    return Box("moov", Boxes({Box("mvhd", Full(0, FileBytes(96, 0))), trak}));
  };
  if (movieFirst) {
    // The movie's size does not depend on where the media lie.
    const std::size_t movieSize = movie(0).size();
    const FileBytes moov = movie(ftyp.size() + movieSize + 8);
    return Boxes({ftyp, moov, Box("mdat", media)});
  }
  return Boxes({ftyp, Box("mdat", media), movie(ftyp.size() + 8)});
}

FileBytes WriteAvi(int frames, std::uint32_t seed) {
  ByteWriter movi;
  movi.Text("movi");
  ByteWriter index;
  const FileBytes noise = Noise(static_cast<std::size_t>(frames) * 4000, seed);
  std::size_t taken = 0;
  for (int i = 0; i < frames; ++i) {
    const std::size_t length = 500 + (noise[taken] * 13) % 3000;
    index.Text("00dc").Le(i == 0 ? 0x10 : 0, 4).Le(movi.Size(), 4).Le(length, 4);
    movi.Text("00dc").Le(length, 4);
    movi.bytes.insert(movi.bytes.end(), noise.begin() + static_cast<std::ptrdiff_t>(taken),
                      noise.begin() + static_cast<std::ptrdiff_t>(taken + length));
    if (length & 1) movi.U8(0);
    taken += length;
  }
  ByteWriter header;
  header.Text("hdrl").Text("avih").Le(56, 4).Le(40000, 4).Append(FileBytes(52, 0));
  ByteWriter riff;
  riff.Text("AVI ").Text("LIST").Le(header.Size(), 4).Append(header.bytes);
  riff.Text("LIST").Le(movi.Size(), 4).Append(movi.bytes);
  riff.Text("idx1").Le(index.Size(), 4).Append(index.bytes);
  ByteWriter avi;
  avi.Text("RIFF").Le(riff.Size(), 4).Append(riff.bytes);
  return avi.bytes;
}

FileBytes WriteOle2(std::size_t streamBytes, const FileBytes& inside, std::size_t insideAt, std::uint32_t seed) {
  constexpr std::uint32_t kEnd = 0xFFFFFFFE;
  constexpr std::uint32_t kFree = 0xFFFFFFFF;
  streamBytes = std::max<std::size_t>(streamBytes, 4096);
  const std::uint32_t streamSectors = static_cast<std::uint32_t>((streamBytes + 511) / 512);
  ByteWriter file;
  file.U8(0xD0).U8(0xCF).U8(0x11).U8(0xE0).U8(0xA1).U8(0xB1).U8(0x1A).U8(0xE1);
  file.Append(FileBytes(16, 0)).Le(0x3E, 2).Le(3, 2).Le(0xFFFE, 2).Le(9, 2).Le(6, 2).Append(FileBytes(6, 0));
  file.Le(0, 4).Le(1, 4).Le(1, 4).Le(0, 4).Le(4096, 4).Le(kEnd, 4).Le(0, 4).Le(kEnd, 4).Le(0, 4);
  file.Le(0, 4);  // the FAT is sector 0
  for (int i = 1; i < 109; ++i) file.Le(kFree, 4);
  // Sector 0: the FAT. Sector 1: the directory. Then the stream.
  ByteWriter fat;
  fat.Le(0xFFFFFFFD, 4).Le(kEnd, 4);
  for (std::uint32_t i = 0; i < streamSectors; ++i) fat.Le(i + 1 == streamSectors ? kEnd : 2 + i + 1, 4);
  while (fat.Size() < 512) fat.Le(kFree, 4);
  file.Append(fat.bytes);
  const auto entry = [](std::u16string_view name, std::uint8_t type, std::uint32_t start, std::uint32_t size) {
    ByteWriter e;
    for (const char16_t c : name) e.Le(c, 2);
    e.Le(0, 2);
    while (e.Size() < 64) e.U8(0);
    e.Le((name.size() + 1) * 2, 2).U8(type).U8(1).Le(kFree, 4).Le(kFree, 4).Le(type == 5 ? 1 : kFree, 4);
    e.Append(FileBytes(16, 0)).Le(0, 4).Le(0, 8).Le(0, 8).Le(start, 4).Le(size, 4).Le(0, 4);
    return e.bytes;
  };
  ByteWriter directory;
  directory.Append(entry(u"Root Entry", 5, kEnd, 0));
  directory.Append(entry(u"WordDocument", 2, 2, static_cast<std::uint32_t>(streamBytes)));
  while (directory.Size() < 512) directory.Append(entry(u"", 0, kFree, 0));
  file.Append(directory.bytes);
  FileBytes stream = Noise(std::size_t{streamSectors} * 512, seed);
  std::copy(inside.begin(), inside.end(), stream.begin() + static_cast<std::ptrdiff_t>(insideAt));
  file.Append(stream);
  return file.bytes;
}

FileBytes WriteSevenZip(std::size_t packedBytes, std::uint32_t seed) {
  const FileBytes packed = Noise(packedBytes, seed);
  ByteWriter header;
  header.U8(0x01).U8(0x04).U8(0x06).U8(0x00).U8(0x01).U8(0x09).U8(0x00).U8(0x00);
  ByteWriter start;
  start.Le(packed.size(), 8).Le(header.Size(), 8).Le(CrcOf(header.bytes), 4);
  ByteWriter file;
  file.Text("7z").U8(0xBC).U8(0xAF).U8(0x27).U8(0x1C).U8(0).U8(4).Le(CrcOf(start.bytes), 4).Append(start.bytes);
  file.Append(packed).Append(header.bytes);
  return file.bytes;
}

namespace {

FileBytes Vint(std::uint64_t value) {
  FileBytes bytes;
  do {
    bytes.push_back(static_cast<std::uint8_t>((value & 0x7F) | (value > 0x7F ? 0x80 : 0)));
    value >>= 7;
  } while (value != 0);
  return bytes;
}

// A RAR 5 header: its CRC-32, its size, then `fields` (type, flags, ...).
FileBytes RarHeader(const FileBytes& fields) {
  ByteWriter counted;
  counted.Append(Vint(fields.size())).Append(fields);
  ByteWriter header;
  header.Le(CrcOf(counted.bytes), 4).Append(counted.bytes);
  return header.bytes;
}

}  // namespace

FileBytes WriteRar5(std::size_t dataBytes, std::uint32_t seed) {
  ByteWriter file;
  file.Text("Rar!").U8(0x1A).U8(0x07).U8(0x01).U8(0x00);
  file.Append(RarHeader(ByteWriter{}.Append(Vint(1)).Append(Vint(0)).Append(Vint(0)).bytes));
  ByteWriter fileFields;
  fileFields.Append(Vint(2)).Append(Vint(2)).Append(Vint(dataBytes)).Append(Vint(0)).Append(Vint(dataBytes));
  fileFields.Append(Vint(0x20)).Le(0, 4).Append(Vint(0)).Append(Vint(8)).Text("data.bin");
  file.Append(RarHeader(fileFields.bytes)).Append(Noise(dataBytes, seed));
  file.Append(RarHeader(ByteWriter{}.Append(Vint(5)).Append(Vint(0)).Append(Vint(0)).bytes));
  return file.bytes;
}

}  // namespace salvex::testing
