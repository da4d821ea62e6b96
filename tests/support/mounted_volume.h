#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace salvex::testing {

// A small file system made and mounted for one test, as a destination that
// fills up or that folds case: ext4 through the kernel's loop device, exFAT
// through mount.exfat-fuse (the kernel here may have no exFAT or vfat
// driver). Needs root, the tools, a free loop device and, for exFAT,
// /dev/fuse; Make says why not when one is missing, so the test can skip.
enum class MountedKind { ext4, exfat };

class MountedVolume {
 public:
  static std::unique_ptr<MountedVolume> Make(MountedKind kind, std::uint64_t bytes, const std::filesystem::path& work,
                                             std::string& whyNot);
  ~MountedVolume();  // unmounts and frees the loop device
  MountedVolume(const MountedVolume&) = delete;
  MountedVolume& operator=(const MountedVolume&) = delete;

  const std::filesystem::path& Path() const { return mountPoint_; }

 private:
  MountedVolume(std::filesystem::path mountPoint, std::string loopDevice)
      : mountPoint_(std::move(mountPoint)), loopDevice_(std::move(loopDevice)) {}

  std::filesystem::path mountPoint_;
  std::string loopDevice_;
};

}  // namespace salvex::testing
