#include "platform/destination_check.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

namespace salvex {
namespace {

namespace fs = std::filesystem;

// Device-mapper, LVM, LUKS and md devices are built on others; no real stack
// is anywhere near this deep.
constexpr int kMaxStackDepth = 16;

// The sysfs directory of a block device: .../block/sdb for the disk,
// .../block/sdb/sdb1 for one of its partitions, .../virtual/block/dm-0 for
// a device-mapper device.
std::string SysfsPathOf(dev_t device, const std::string& sysRoot) {
  const std::string link =
      sysRoot + "/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
  std::error_code error;
  const fs::path resolved = fs::canonical(link, error);
  return error ? std::string() : resolved.string();
}

bool IsAtOrBelow(const std::string& path, const std::string& folder) {
  return !folder.empty() && path.compare(0, folder.size(), folder) == 0 &&
         (path.size() == folder.size() || path[folder.size()] == '/');
}

// Whether the device at `sysfsPath`, or any device it is built on (its
// "slaves", followed down), lies on the disk at `disk`.
bool BuiltOn(const std::string& sysfsPath, const std::string& disk, std::set<std::string>& seen, int depth) {
  if (sysfsPath.empty() || depth > kMaxStackDepth || !seen.insert(sysfsPath).second) return false;
  if (IsAtOrBelow(sysfsPath, disk)) return true;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(fs::path(sysfsPath) / "slaves", error)) {
    std::error_code ignored;
    const fs::path lower = fs::canonical(entry.path(), ignored);
    if (!ignored && BuiltOn(lower.string(), disk, seen, depth + 1)) return true;
  }
  return false;
}

// Undoes the octal escapes (\040 for a blank) of a mountinfo field.
std::string Unescaped(const std::string& field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string digits = field.substr(i + 1, 3);
      if (digits.find_first_not_of("01234567") == std::string::npos) {
        text += static_cast<char>(std::stoi(digits, nullptr, 8));
        i += 3;
        continue;
      }
    }
    text += field[i];
  }
  return text;
}

// File systems such as btrfs report an anonymous device number of their
// own: the block device they were mounted from is named in mountinfo.
std::optional<dev_t> MountedFrom(dev_t device, const std::string& mountInfo) {
  std::ifstream in(mountInfo);
  const std::string number = std::to_string(major(device)) + ":" + std::to_string(minor(device));
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string word; fields >> word;) words.push_back(word);
    if (words.size() < 3 || words[2] != number) continue;
    for (std::size_t i = 3; i + 2 < words.size(); ++i) {
      if (words[i] != "-") continue;
      struct stat source {};
      const std::string path = Unescaped(words[i + 2]);
      if (::stat(path.c_str(), &source) == 0 && S_ISBLK(source.st_mode)) return source.st_rdev;
      break;
    }
  }
  return std::nullopt;
}

}  // namespace

DestinationRisk CheckDestination(const std::string& sourcePath, dev_t destinationDevice, const std::string& sysRoot,
                                 const std::string& mountInfo) {
  struct stat source {};
  if (::stat(sourcePath.c_str(), &source) != 0) return DestinationRisk::none;
  if (S_ISREG(source.st_mode)) {
    return source.st_dev == destinationDevice ? DestinationRisk::sameFileSystemAsImage : DestinationRisk::none;
  }
  if (!S_ISBLK(source.st_mode)) return DestinationRisk::none;
  std::vector<dev_t> destinations{destinationDevice};
  if (const auto mounted = MountedFrom(destinationDevice, mountInfo)) destinations.push_back(*mounted);
  const std::string disk = SysfsPathOf(source.st_rdev, sysRoot);
  for (const dev_t destination : destinations) {
    if (destination == source.st_rdev) return DestinationRisk::onScannedDisk;
    std::set<std::string> seen;
    if (BuiltOn(SysfsPathOf(destination, sysRoot), disk, seen, 0)) return DestinationRisk::onScannedDisk;
  }
  return DestinationRisk::none;
}

}  // namespace salvex

namespace salvex {

std::optional<dev_t> DeviceOfNearestExisting(const std::string& path) {
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

}  // namespace salvex
