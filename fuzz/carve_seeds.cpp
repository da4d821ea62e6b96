// Writes the seed corpora of the carving harnesses (OUTDIR/carve_<family>/
// and OUTDIR/carve_pass/): small files of each family made by the tests'
// own writers, whole and cut, and a disk with several of them laid out.
//
//   carve_seeds OUTDIR

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/container_writers.h"
#include "support/format_writers.h"
#include "support/jpeg_writer.h"
#include "support/stream_writers.h"

using namespace salvex::testing;

namespace {

void Write(const std::filesystem::path& path, const FileBytes& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: carve_seeds OUTDIR\n");
    return 2;
  }
  const std::filesystem::path out = argv[1];
  const std::vector<std::pair<std::string, std::function<FileBytes()>>> seeds = {
      {"jpg", [] { return WriteJpeg({64, 48, true, 2, 80, 1}); }},
      {"png", [] { return WritePng(24, 16, 2, 300); }},
      {"gif", [] { return WriteGif(16, 12, 3); }},
      {"bmp", [] { return WriteBmp(12, 8, 4); }},
      {"pdf", [] { return WritePdf(2, 5); }},
      {"zip", [] { return WriteZip({{"a.txt", Noise(300, 6), true}, {"b.bin", Noise(100, 7), false}}); }},
      {"mp4", [] { return WriteMp4(6, 8); }},
      {"avi", [] { return WriteAvi(5, 9); }},
      {"wav", [] { return WriteWav(200, 10); }},
      {"tif", [] { return WriteTiff(16, 12, 11); }},
      {"mp3", [] { return WriteMp3(10, 12, true); }},
      {"flac", [] { return WriteFlac(2, 13); }},
      {"ogg", [] { return WriteOgg(3, 14); }},
      {"ole", [] { return WriteOle2(4096, WriteJpeg({16, 16, false, 0, 70, 15}), 700, 15); }},
      {"rtf", [] { const std::string rtf = "{\\rtf1\\ansi{\\b Minutes}\\par\n}\n"; return FileBytes(rtf.begin(), rtf.end()); }},
      {"7z", [] { return WriteSevenZip(500, 16); }},
      {"rar", [] { return WriteRar5(400, 17); }},
      {"gz", [] { return WriteGzip(2000, 18); }},
      {"sqlite", [] { FileBytes db(1024, 0); const std::string head = "SQLite format 3"; std::copy(head.begin(), head.end(), db.begin());
                      db[16] = 2; db[18] = db[19] = 1; db[21] = 64; db[22] = db[23] = 32; db[31] = 1; db[95] = 1; db[100] = 0x0D; return db; }},
      {"txt", [] { const std::string text = "name,age\nAnn,34\nBob,27\nCid,45\nDee,51\n"; FileBytes t(text.begin(), text.end()); t.resize(600, 0); return t; }},
  };
  FileBytes disk(64 * 1024, 0);
  std::size_t at = 512;
  for (const auto& [family, make] : seeds) {
    const FileBytes whole = make();
    Write(out / ("carve_" + family) / "whole", whole);
    Write(out / ("carve_" + family) / "cut", FileBytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2)));
    if (at + whole.size() <= disk.size() && whole.size() < 8192) {
      std::copy(whole.begin(), whole.end(), disk.begin() + static_cast<std::ptrdiff_t>(at));
      at = (at + whole.size() + 1023) / 1024 * 1024;
    }
  }
  FileBytes pass = {0x05};
  pass.insert(pass.end(), disk.begin(), disk.end());
  Write(out / "carve_pass" / "disk", pass);
  return 0;
}
