#include "platform/block_device_catalogue.h"

#include <fcntl.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace salvex {
namespace {

namespace fs = std::filesystem;

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsWholeDiskName(const std::string& name, const fs::path& entry) {
  if (StartsWith(name, "sd") || StartsWith(name, "vd")) return true;
  if (StartsWith(name, "nvme")) return name.find('n', 4) != std::string::npos;
  if (StartsWith(name, "mmcblk")) {
    // mmcblk0boot0 and mmcblk0rpmb are hardware areas, not the card itself.
    return name.find("boot") == std::string::npos && name.find("rpmb") == std::string::npos;
  }
  if (StartsWith(name, "loop")) {
    std::error_code ignored;
    return fs::exists(entry / "loop" / "backing_file", ignored);
  }
  return false;
}

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// sysfs values end with a newline; the model's own space padding is kept.
std::string ReadSysfsText(const fs::path& path) {
  std::string text = ReadWholeFile(path);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::uint64_t ReadSysfsNumber(const fs::path& path) {
  try {
    return std::stoull(ReadSysfsText(path));
  } catch (...) {
    return 0;
  }
}

std::optional<DriveGeometry> QueryGeometry(const fs::path& devicePath) {
  const int fd = ::open(devicePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  hd_geometry geometry{};
  const bool answered = ::ioctl(fd, HDIO_GETGEO, &geometry) == 0;
  ::close(fd);
  if (!answered || geometry.heads == 0 || geometry.sectors == 0) return std::nullopt;
  return DriveGeometry{geometry.heads, geometry.sectors};
}

// sda < sdb < sdz < sdaa: shorter names first, then alphabetical.
bool NaturalLess(const BlockDeviceEntry& a, const BlockDeviceEntry& b) {
  if (a.devicePath.size() != b.devicePath.size()) return a.devicePath.size() < b.devicePath.size();
  return a.devicePath < b.devicePath;
}

}  // namespace

std::vector<BlockDeviceEntry> ListBlockDevices(const std::string& sysBlockRoot, const std::string& devRoot) {
  std::vector<BlockDeviceEntry> devices;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(sysBlockRoot, error)) {
    const std::string name = entry.path().filename().string();
    if (!IsWholeDiskName(name, entry.path())) continue;
    BlockDeviceEntry device;
    device.devicePath = (fs::path(devRoot) / name).string();
    device.model = ReadSysfsText(entry.path() / "device" / "model");
    device.sizeSectors = ReadSysfsNumber(entry.path() / "size");
    std::error_code ignored;
    const std::string resolved = fs::canonical(entry.path(), ignored).string();
    device.isUsb = resolved.find("/usb") != std::string::npos;
    if (device.sizeSectors > 0) device.geometry = QueryGeometry(device.devicePath);
    devices.push_back(std::move(device));
  }
  std::sort(devices.begin(), devices.end(), NaturalLess);
  return devices;
}

}  // namespace salvex
