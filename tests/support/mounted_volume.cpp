#include "support/mounted_volume.h"

#include <unistd.h>

#include "support/tool_runner.h"

namespace salvex::testing {

std::unique_ptr<MountedVolume> MountedVolume::Make(MountedKind kind, std::uint64_t bytes,
                                                   const std::filesystem::path& work, std::string& whyNot) {
  const bool exfat = kind == MountedKind::exfat;
  if (::geteuid() != 0) {
    whyNot = "needs root to mount a file system";
    return nullptr;
  }
  if (!(exfat ? HaveTools({"mkfs.exfat", "mount.exfat-fuse", "losetup", "umount"})
              : HaveTools({"mkfs.ext4", "mount", "losetup", "umount"})) ||
      (exfat && !std::filesystem::exists("/dev/fuse"))) {
    whyNot = exfat ? "needs exfatprogs, exfat-fuse and /dev/fuse" : "needs e2fsprogs and mount";
    return nullptr;
  }
  const std::filesystem::path image = work / (exfat ? "exfat.img" : "ext4.img");
  const std::filesystem::path mountPoint = work / (exfat ? "exfat-mount" : "ext4-mount");
  std::filesystem::create_directories(mountPoint);
  const std::string made = exfat ? "mkfs.exfat " : "mkfs.ext4 -q -F -m 0 ";
  if (RunCommand("truncate -s " + std::to_string(bytes) + " " + ShellQuote(image.string()) + " && " + made +
                 ShellQuote(image.string()) + " >/dev/null 2>&1")
          .status != 0) {
    whyNot = "cannot make the file system";
    return nullptr;
  }
  const CommandResult loop = RunCommand("losetup -f --show " + ShellQuote(image.string()));
  std::string device = loop.output.substr(0, loop.output.find('\n'));
  if (loop.status != 0 || device.empty()) {
    whyNot = "no free loop device: " + loop.output;
    return nullptr;
  }
  const std::string mount = exfat ? "mount.exfat-fuse " : "mount -t ext4 ";
  const CommandResult mounted =
      RunCommand(mount + ShellQuote(device) + " " + ShellQuote(mountPoint.string()) + " 2>&1");
  if (mounted.status != 0) {
    RunCommand("losetup -d " + ShellQuote(device));
    whyNot = "cannot mount it: " + mounted.output;
    return nullptr;
  }
  return std::unique_ptr<MountedVolume>(new MountedVolume(mountPoint, std::move(device)));
}

MountedVolume::~MountedVolume() {
  // A FUSE file system may still be busy for a moment after its last file closed.
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (RunCommand("umount " + ShellQuote(mountPoint_.string()) + " 2>&1").status == 0) break;
    ::usleep(100'000);
  }
  RunCommand("losetup -d " + ShellQuote(loopDevice_) + " 2>&1");
}

}  // namespace salvex::testing
