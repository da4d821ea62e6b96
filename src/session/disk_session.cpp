#include "session/disk_session.h"

#include "partition/partition_walk.h"
#include "platform/block_device_catalogue.h"
#include "platform/file_disk_source.h"

namespace salvex {

void ListDisks(Session& session, const std::vector<std::string>& images, std::vector<std::string>& refused) {
  std::vector<DiskImageEntry> entries;
  for (const std::string& path : images) {
    // Opened as any source is, so what is not a disk image is refused alike.
    std::string error;
    const std::unique_ptr<FileDiskSource> image = FileDiskSource::Open(path, error);
    if (!image) {
      refused.push_back(error);
      continue;
    }
    entries.push_back({path, image->SizeBytes()});
  }
  session.disks = EnumerateDisks(ListBlockDevices(), entries);
}

std::string OpenSource(Session& session, const std::string& path) {
  std::string error;
  std::unique_ptr<FileDiskSource> source = FileDiskSource::Open(path, error);
  if (!source) return error;
  session.reader.Open(std::move(source));
  return {};
}

std::string OpenDisk(Session& session, std::uint16_t diskIndex) {
  if (diskIndex >= session.disks.diskCount) return "there is no disk " + std::to_string(diskIndex);
  return OpenSource(session, session.disks.disks[diskIndex].devicePath);
}

void CloseDisk(Session& session) { session.reader.Close(); }

std::uint32_t ReadPartitionTables(Session& session) { return FindPartitions(session.reader, session.partitions); }

}  // namespace salvex
