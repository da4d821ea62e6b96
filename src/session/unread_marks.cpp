#include "session/unread_marks.h"

#include <algorithm>

#include "fat/cluster_chain.h"
#include "fat/fat_sector_cache.h"
#include "fat/fat_walk.h"
#include "imaging/map_file.h"
#include "imaging/mapped_image_source.h"
#include "recovery/fat_extraction.h"
#include "session/scans.h"

namespace salvex {
namespace {

// Unfinished sectors of the clusters of a chain, stretch by stretch, up to
// `sectors` sectors of data (a file's size); clusters past the chain are
// taken as consecutive, as a recovery reads them.
std::uint64_t UnreadSectorsOfClusters(const RescueMap& map, const VolumeParameters& volume, std::uint32_t first,
                                      const ClusterChain& chain, std::uint64_t sectors) {
  const std::uint64_t perCluster = volume.sectorsPerCluster;
  if (perCluster == 0) return 0;
  const std::uint64_t clusters = (sectors + perCluster - 1) / perCluster;
  const auto clusterAt = [&](std::uint64_t index) {
    return index < chain.size() ? chain[index] : static_cast<std::uint32_t>(first + index);
  };
  std::uint64_t unread = 0;
  std::uint64_t done = 0;
  for (std::uint64_t index = 0; index < clusters;) {
    const std::uint32_t start = clusterAt(index);
    std::uint64_t count = 1;
    while (index + count < clusters && clusterAt(index + count) == start + count) ++count;
    const std::uint64_t stretch = std::min(count * perCluster, sectors - done);
    unread += map.UnfinishedSectorsIn(volume.ClusterToSector(start), stretch, kSectorSize);
    done += stretch;
    index += count;
  }
  return unread;
}

std::uint64_t UnreadSectorsOfFolder(SectorReader& reader, const RescueMap& map, const VolumeParameters& volume,
                                    std::uint32_t lastCluster, std::uint32_t firstCluster) {
  ClusterChain chain;
  BuildDirectoryChain(reader, volume, lastCluster, firstCluster, chain);
  return UnreadSectorsOfClusters(map, volume, firstCluster, chain, chain.size() * volume.sectorsPerCluster);
}

}  // namespace

Outcome LoadImageMap(Session& session, const std::string& path) {
  if (!session.reader.IsOpen()) return Outcome::Failed("no image is open to read " + path + " for");
  MapFileRead read = ReadMapFile(path);
  if (!read.exists) return Outcome::Failed("cannot open " + path + ": No such file or directory");
  if (!read.map) return Outcome::Failed(read.error);
  const std::uint64_t imageBytes = session.reader.Source()->SizeBytes();
  if (read.map->Extent() > imageBytes) {
    return Outcome::Failed(path + " covers " + std::to_string(read.map->Extent()) + " bytes, more than the " +
                           std::to_string(imageBytes) + " of " + session.reader.Source()->Name() +
                           ": it is the map of another image");
  }
  Outcome outcome;
  if (read.map->Extent() < imageBytes) {
    outcome.warnings.push_back(path + " covers only the first " + std::to_string(read.map->Extent()) +
                               " bytes of the image: the rest counts as not read");
  }
  session.imageMap = std::move(read.map);
  return outcome;
}

std::uint32_t UnreadMarks::FilesMarked() const {
  return static_cast<std::uint32_t>(std::count_if(fileSectors.begin(), fileSectors.end(), [](auto n) { return n > 0; }));
}

std::uint32_t UnreadMarks::FoldersMarked() const {
  return static_cast<std::uint32_t>(
      std::count_if(folderSectors.begin(), folderSectors.end(), [](auto n) { return n > 0; }) + (rootSectors > 0));
}

std::optional<UnreadMarks> MarkUnreadItems(Session& session) {
  if (!session.imageMap || ItemsAreNtfs(session) || !session.reader.IsOpen()) return std::nullopt;
  const RescueMap& map = *session.imageMap;
  const VolumeParameters& volume = session.volume;
  SectorReader& reader = session.reader;
  const std::uint32_t lastCluster = LastFileCluster(volume, LastVolumeSector(volume, session.scan));
  UnreadMarks marks;
  FatSectorCache fatCache(reader);
  for (const FatFileItem& file : session.items.FatFiles().Items()) {
    std::uint64_t unread = 0;
    if (file.size > 0 && !file.noClusterFits && volume.sectorsPerCluster > 0) {
      const ClusterChain chain =
          !file.clusterRuns.empty()
              ? ChainOfRuns(file.clusterRuns)
              : ChooseFileChain(reader, volume, lastCluster, file.firstCluster, file.size, file.deleted, {}, &fatCache)
                    .chain;
      unread = UnreadSectorsOfClusters(map, volume, file.firstCluster, chain, (file.size + kSectorSize - 1) / kSectorSize);
    }
    marks.fileSectors.push_back(unread);
  }
  for (const FatFolderItem& folder : session.items.FatFolders().Items()) {
    std::uint64_t unread = 0;
    if (!folder.clusterRuns.empty()) {
      // Where the walk read its directory (an exFAT folder can say it has no FAT chain).
      const ClusterChain chain = ChainOfRuns(folder.clusterRuns);
      unread = UnreadSectorsOfClusters(map, volume, folder.firstCluster, chain, chain.size() * volume.sectorsPerCluster);
    } else if (folder.firstCluster >= 2) {
      unread = UnreadSectorsOfFolder(reader, map, volume, lastCluster, folder.firstCluster);
    }
    marks.folderSectors.push_back(unread);
  }
  // FAT32's and exFAT's roots are cluster chains; FAT16's is a fixed run.
  if (volume.fsType == FsType::fat32 || volume.fsType == FsType::exfat) {
    marks.rootSectors = UnreadSectorsOfFolder(reader, map, volume, lastCluster, volume.RootCluster());
  } else {
    marks.rootSectors = map.UnfinishedSectorsIn(volume.rootDirStart, volume.rootDirSectors, kSectorSize);
  }
  const std::uint64_t bootSector = session.scan.rangeStart;
  marks.tableSectors = map.UnfinishedSectorsIn(bootSector, 1, kSectorSize);
  for (const SectorNumber start : {volume.fat1Start, volume.fat2Start}) {
    if (start != 0) marks.tableSectors += map.UnfinishedSectorsIn(start, volume.sectorsPerFat, kSectorSize);
  }
  return marks;
}

ReadThroughImageMap::ReadThroughImageMap(Session& session) : session_(session) {
  if (!session.imageMap || !session.reader.IsOpen()) return;
  session.reader.Open(std::make_unique<MappedImageSource>(session.reader.Release(), *session.imageMap));
  active_ = true;
}

ReadThroughImageMap::~ReadThroughImageMap() {
  if (!active_) return;
  std::unique_ptr<DiskSource> mapped = session_.reader.Release();
  session_.reader.Open(static_cast<MappedImageSource&>(*mapped).TakeImage());
}

}  // namespace salvex
