#include "session/scanned_disk_guard.h"

#include <sys/stat.h>

#include <filesystem>

#include "platform/destination_check.h"

namespace salvex {
namespace {

// The device of the nearest folder of `path` that exists already.
std::optional<dev_t> DeviceOfNearestExisting(const std::filesystem::path& path) {
  std::error_code failed;
  std::filesystem::path at = std::filesystem::absolute(path, failed);
  if (failed) return std::nullopt;
  while (true) {
    struct stat info {};
    if (::stat(at.c_str(), &info) == 0) return info.st_dev;
    if (!at.has_relative_path()) return std::nullopt;
    at = at.parent_path();
  }
}

}  // namespace

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
