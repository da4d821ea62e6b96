#include "session/scanned_disk_guard.h"

#include "platform/destination_check.h"

namespace salvex {

std::optional<std::string> ScannedDiskRefusal(const Session& session, const std::string& path, dev_t device) {
  if (!session.reader.IsOpen()) return std::nullopt;
  const std::string source = session.reader.Source()->Name();
  if (CheckDestination(source, device) != DestinationRisk::onScannedDisk) return std::nullopt;
  return path + " lies on the disk being recovered (" + source +
         "): writing there would overwrite the data being rescued. Choose a folder on another disk.";
}

std::optional<std::string> ScannedDiskRefusal(const Session& session, const std::string& path) {
  const auto device = DeviceOfNearestExisting(path);
  if (!device) return std::nullopt;
  return ScannedDiskRefusal(session, path, *device);
}

}  // namespace salvex
