// Copies a host folder tree into a new exFAT image, then deletes what the
// tree writer listed: the exFAT twin of the FAT32 benchmark image. mkfs.exfat
// makes the volume and the tests' exFAT writer adds the files, since no
// exFAT tool writes files into an image without a mount.
//
// usage: salvex_make_exfat_image OUTPUT TREE LISTS
//   LISTS/delete-files and LISTS/delete-trees: one volume path a line.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/exfat_test_volume.h"

namespace fs = std::filesystem;
using salvex::testing::ExfatTestVolume;

namespace {

constexpr std::uint32_t kClusterBytes = 4096;

std::vector<std::uint8_t> ReadHostFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> ReadLines(const fs::path& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s OUTPUT TREE LISTS\n", argv[0]);
    return 2;
  }
  const fs::path output = argv[1];
  const fs::path tree = argv[2];
  const fs::path lists = argv[3];
  try {
    // Sorted, a folder comes before what it holds, and every run writes the
    // same image.
    std::vector<fs::path> entries;
    std::uint64_t clusters = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(tree)) {
      entries.push_back(entry.path());
      const std::uint64_t bytes = entry.is_regular_file() ? entry.file_size() : 0;
      clusters += 1 + bytes / kClusterBytes;
    }
    std::sort(entries.begin(), entries.end());
    // A quarter more for the folders' entry sets, and room for the metadata.
    const std::uint64_t imageBytes = (clusters * 5 / 4 + 16384) * kClusterBytes;
    ExfatTestVolume volume = ExfatTestVolume::Create(output, imageBytes, kClusterBytes, "MANYFILES");
    for (const fs::path& host : entries) {
      const std::string path = "/" + fs::relative(host, tree).generic_string();
      if (fs::is_directory(host)) {
        volume.AddFolder(path);
      } else {
        volume.AddFile(path, ReadHostFile(host));
      }
    }
    for (const std::string& path : ReadLines(lists / "delete-files")) volume.Delete(path);
    for (const std::string& path : ReadLines(lists / "delete-trees")) volume.Delete(path);
    volume.Flush();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "salvex_make_exfat_image: %s\n", error.what());
    return 1;
  }
  return 0;
}
