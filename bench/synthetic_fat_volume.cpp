#include "synthetic_fat_volume.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

#include "common/utf.h"
#include "support/byte_image.h"
#include "support/fat_volume_builder.h"

namespace salvex::bench {
namespace {

using testing::ByteImage;
using testing::FatGeometry;
using testing::FatVolumeBuilder;
using testing::ShortEntryFields;

constexpr std::uint32_t kEntriesPerCluster = 16;  // one 512-byte sector per cluster
constexpr std::uint32_t kRootCluster = 2;

std::u16string Ascii(std::string_view text) { return {text.begin(), text.end()}; }

std::u16string Number(std::uint32_t value) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%07u", value);
  return Ascii(digits);
}

std::u16string FolderName(std::uint32_t folder) {
  static const std::array<std::u16string, 6> kTopics{u"Quarterly Reports", u"Holiday Photos",  u"Customer Invoices",
                                                     u"Project Archive",   u"Music Collection", u"R\u00e9sum\u00e9s and Letters"};
  return u"Folder " + Number(folder) + u" " + kTopics[folder % kTopics.size()];
}

std::u16string FileName(std::uint32_t file) {
  switch (file % 3) {
    case 0: return u"Meeting notes " + Number(file) + u" - final version.docx";
    case 1: return u"Photo " + Number(file) + u" taken at the seaside.jpg";
    default: return u"Caf\u00e9 receipt " + Number(file) + u".pdf";
  }
}

// 8 + 3 characters: the walk reads the long name, but the short entry must
// still look like one a driver wrote.
std::string ShortName(char prefix, std::uint32_t number, std::string_view extension) {
  char name[16];
  std::snprintf(name, sizeof name, "%c%07u%-3.3s", prefix, number % 10'000'000, std::string(extension).c_str());
  return name;
}

std::uint32_t EntriesFor(std::u16string_view longName) {
  return static_cast<std::uint32_t>((longName.size() + 12) / 13) + 1;
}

// The volume's length such that its two FATs and the clusters all fit.
std::uint32_t TotalSectorsFor(std::uint32_t clusters, std::uint32_t reservedSectors) {
  std::uint32_t total = clusters + reservedSectors;
  for (;;) {
    const std::uint32_t sectorsPerFat = (total + 2 + 127) / 128;  // as FatVolumeBuilder sizes them
    const std::uint32_t needed = reservedSectors + 2 * sectorsPerFat + clusters + 2;
    if (needed <= total) return total;
    total = needed;
  }
}

}  // namespace

SyntheticVolume MakeSyntheticVolume(const VolumeShape& shape) {
  const std::uint32_t folders = shape.folders;
  const std::uint32_t fanOut = shape.subfoldersPerFolder;
  // Folder k (1..folders) lives in folder (k - 1) / fanOut; 0 is the root.
  const auto firstChild = [&](std::uint32_t k) { return std::uint64_t{k} * fanOut + 1; };
  const auto childCount = [&](std::uint32_t k) -> std::uint32_t {
    const std::uint64_t first = firstChild(k);
    if (first > folders) return 0;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(fanOut, folders - first + 1));
  };

  // Pass 1: the clusters of every directory, so that entries can name their
  // folder's first cluster before it is written.
  std::vector<std::uint32_t> firstCluster(folders + 1);
  std::vector<std::uint32_t> clusterCount(folders + 1);
  std::uint32_t nextCluster = kRootCluster;
  std::uint32_t fileNumber = 0;
  for (std::uint32_t k = 0; k <= folders; ++k) {
    std::uint32_t entries = k == 0 ? 0 : 2;
    const std::uint32_t children = childCount(k);
    for (std::uint32_t c = 0; c < children; ++c) {
      entries += EntriesFor(FolderName(static_cast<std::uint32_t>(firstChild(k)) + c));
    }
    for (std::uint32_t f = 0; f < shape.filesPerFolder; ++f) entries += EntriesFor(FileName(fileNumber++));
    firstCluster[k] = nextCluster;
    clusterCount[k] = (entries + kEntriesPerCluster - 1) / kEntriesPerCluster;
    if (clusterCount[k] == 0) clusterCount[k] = 1;
    nextCluster += clusterCount[k];
  }
  const std::uint32_t fileCount = fileNumber;
  const std::uint32_t dataClusters = nextCluster - kRootCluster + fileCount;

  FatGeometry geometry;
  geometry.type = FsType::fat32;
  geometry.sectorsPerCluster = 1;
  geometry.rootCluster = kRootCluster;
  geometry.totalSectors = TotalSectorsFor(dataClusters, geometry.reservedSectors);

  SyntheticVolume volume;
  volume.totalSectors = geometry.totalSectors;
  volume.folderCount = folders;
  volume.fileCount = fileCount;
  volume.entries.reserve(std::size_t{folders} + fileCount);

  ByteImage image(geometry.totalSectors);
  FatVolumeBuilder builder(image, geometry);
  std::uint32_t nextFileCluster = nextCluster;
  fileNumber = 0;
  // Pass 2, breadth first: the order in which the walk meets the entries.
  for (std::uint32_t k = 0; k <= folders; ++k) {
    const std::uint32_t directory = k == 0 ? FatVolumeBuilder::kRoot : firstCluster[k];
    const std::uint32_t parentKey = k == 0 ? 0 : firstCluster[k];
    unsigned index = 0;
    if (k != 0) {
      const std::uint32_t parent = (k - 1) / fanOut;
      builder.InitDirectory(firstCluster[k], parent == 0 ? 0 : firstCluster[parent]);
      index = 2;
    }
    if (clusterCount[k] > 1) {
      std::vector<std::uint32_t> chain(clusterCount[k]);
      for (std::uint32_t i = 0; i < clusterCount[k]; ++i) chain[i] = firstCluster[k] + i;
      builder.LinkChain(chain);
    }
    const std::uint32_t children = childCount(k);
    for (std::uint32_t c = 0; c < children; ++c) {
      const auto child = static_cast<std::uint32_t>(firstChild(k)) + c;
      const std::u16string name = FolderName(child);
      ShortEntryFields fields;
      fields.name11 = ShortName('D', child, "");
      fields.attributes = 0x10;
      fields.firstCluster = firstCluster[child];
      index = builder.PutNamed(directory, index, name, fields);
      volume.entries.push_back({Utf16ToUtf8(name), firstCluster[child], parentKey, 0, true, false});
    }
    for (std::uint32_t f = 0; f < shape.filesPerFolder; ++f, ++fileNumber) {
      const std::u16string name = FileName(fileNumber);
      const bool deleted = shape.deletedFileEvery != 0 && fileNumber % shape.deletedFileEvery == shape.deletedFileEvery / 2;
      ShortEntryFields fields;
      fields.name11 = ShortName('F', fileNumber, fileNumber % 3 == 0 ? "DOC" : fileNumber % 3 == 1 ? "JPG" : "PDF");
      fields.firstCluster = nextFileCluster++;
      fields.size = 1 + fileNumber * 7919 % 512;
      index = builder.PutNamed(directory, index, name, fields, deleted);
      // A deleted file's FAT entry is cleared, as drivers do.
      if (!deleted) builder.SetFatEntry(fields.firstCluster, builder.EndOfChain());
      volume.entries.push_back({Utf16ToUtf8(name), fields.firstCluster, parentKey, fields.size, false, deleted});
    }
  }
  volume.bytes = std::move(image.Bytes());
  return volume;
}

}  // namespace salvex::bench
