#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace salvex::testing {

// An NTFS volume made at test time by mkntfs (512-byte sectors, 4096-byte
// clusters) in a file of its own, filled with ntfscp or through an ntfs-3g
// mount, then placed into a disk image behind a partition table.
class NtfsToolVolume {
 public:
  // Throws ToolFailure with the tool's output when mkntfs fails.
  NtfsToolVolume(std::filesystem::path volume, std::uint32_t sectors);

  const std::filesystem::path& Path() const { return volume_; }
  std::uint32_t Sectors() const { return sectors_; }

  // ntfscp of `bytes` into the root as `name`; a file already there is
  // rewritten in place, and grows into clusters wherever they are free.
  void CopyIn(const std::string& name, const std::string& bytes);
  // The data runs of a file (path from the root) as ntfsinfo counts them.
  int DataRuns(const std::string& path) const;
  // True when ntfsinfo shows the folder with an $INDEX_ALLOCATION.
  bool HasIndexAllocation(const std::string& path) const;
  // The flags (offset 22) of the first "FILE" record that holds `name` in
  // UTF-16: 1 a file in use, 3 a folder in use, 0 and 2 the same freed.
  std::optional<std::uint8_t> RecordFlagsOf(const std::u16string& name) const;

  // Writes an MBR with one NTFS partition (type 07) from `startSector` and
  // copies the volume into it; the disk ends with the volume.
  void PlaceInDisk(const std::filesystem::path& disk, std::uint32_t startSector) const;
  // Copies the volume into an existing disk image from `startSector` on.
  void WriteInto(const std::filesystem::path& disk, std::uint32_t startSector) const;

 private:
  std::filesystem::path volume_;
  std::uint32_t sectors_;
};

// The volume mounted by ntfs-3g (kept in the foreground, so that unmounting
// can wait until it has written everything and exited).
class NtfsMount {
 public:
  // Nothing, with the reason in `why`, when this machine cannot mount (no
  // ntfs-3g, no /dev/fuse, not allowed).
  static std::unique_ptr<NtfsMount> Open(const std::filesystem::path& volume, const std::filesystem::path& dir,
                                         std::string& why);
  ~NtfsMount();
  NtfsMount(const NtfsMount&) = delete;
  NtfsMount& operator=(const NtfsMount&) = delete;

  const std::filesystem::path& Dir() const { return dir_; }
  // Unmounts and waits for ntfs-3g to end; false when either failed.
  bool Close();

 private:
  NtfsMount(pid_t pid, std::filesystem::path dir) : pid_(pid), dir_(std::move(dir)) {}

  pid_t pid_;
  std::filesystem::path dir_;
  bool closed_ = false;
};

// One item of `salvex scan --json` or `salvex deep-scan --mount K --json` on
// an NTFS volume.
struct NtfsListedItem {
  std::optional<std::string> path;
  std::string name;
  bool folder = false;
  std::uint64_t size = 0;
  bool deleted = false;
  std::uint64_t recordNumber = 0;
  std::uint64_t id = 0;
};

// Throws std::runtime_error when the text is not such a listing.
std::vector<NtfsListedItem> NtfsItemsFromJson(const std::string& json);

// NTFS's own files ($MFT, $Boot, ...) and the $Extend folder with all in it:
// listed and recovered like any other, but not written by a test.
bool IsNtfsMetadataPath(const std::string& path);

}  // namespace salvex::testing
