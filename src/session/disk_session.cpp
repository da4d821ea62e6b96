#include "session/disk_session.h"

#include "partition/partition_walk.h"
#include "platform/block_device_catalogue.h"
#include "platform/file_disk_source.h"
#include "platform/udisks_open.h"
#include "session/unread_marks.h"

namespace salvex {
namespace {

// The device through the descriptor udisks2 hands out; null with `error` set
// to what went wrong and what the user can do instead.
std::unique_ptr<FileDiskSource> OpenWithUdisks(const std::string& path, std::string& error) {
  const UdisksOpenResult asked = OpenThroughUdisks(path);
  const std::string denied = "cannot open " + path + ": Permission denied, and ";
  const std::string hint = std::string(" (") + kDiskAccessHint + ")";
  switch (asked.status) {
    case UdisksOpenResult::Status::opened:
      return FileDiskSource::FromDescriptor(asked.fd, path, error);
    case UdisksOpenResult::Status::unavailable:
      error = denied + "udisks2 is not there to ask for access" + hint;
      return nullptr;
    case UdisksOpenResult::Status::refused:
      error = denied + "udisks2 refused access" + hint;
      return nullptr;
    case UdisksOpenResult::Status::failed:
      break;
  }
  error = denied + "udisks2 could not open it: " + asked.detail + hint;
  return nullptr;
}

}  // namespace

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

AddedDiskImage AddDiskImageFile(Session& session, const std::string& path) {
  std::string error;
  const std::unique_ptr<FileDiskSource> image = FileDiskSource::Open(path, error);
  if (!image) return {0, Outcome::Failed(error)};
  const auto added = AddDiskImage(session.disks, {path, image->SizeBytes()});
  if (!added) return {0, Outcome::Failed(path + ": no more than " + std::to_string(kMaxDisks) + " disks can be listed")};
  return {*added, {}};
}

Outcome OpenSource(Session& session, const std::string& path) {
  std::string error;
  bool permissionDenied = false;
  std::unique_ptr<FileDiskSource> source = FileDiskSource::Open(path, error, permissionDenied);
  if (!source && permissionDenied && session.diskAccess.askUdisks) source = OpenWithUdisks(path, error);
  if (!source) return Outcome::Failed(error);
  session.reader.Open(std::move(source));
  return {};
}

Outcome OpenDisk(Session& session, std::uint16_t diskIndex) {
  if (diskIndex >= session.disks.diskCount) return Outcome::Failed("there is no disk " + std::to_string(diskIndex));
  const DiskInfo& disk = session.disks.disks[diskIndex];
  session.imageMap.reset();
  if (Outcome opened = OpenSource(session, disk.devicePath); !opened.Ok()) return opened;
  if (disk.mapPath.empty()) return {};
  // An image made here goes on with its map: what was never read stays known.
  return LoadImageMap(session, disk.mapPath);
}

void CloseDisk(Session& session) {
  session.reader.Close();
  session.imageMap.reset();
}

std::uint32_t ReadPartitionTables(Session& session) { return FindPartitions(session.reader, session.partitions); }

}  // namespace salvex
