#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/tool_runner.h"

namespace salvex::testing {

// Disk images made at test time by sfdisk, mkfs.fat and mtools, with fixed
// volume ids and dates so that every run builds the same bytes.

enum class VolumeKind { fat16, fat32, foreign, ntfsStub };

struct PartitionPlan {
  VolumeKind kind = VolumeKind::fat16;
  bool logical = false;           // inside the extended partition
  std::uint32_t startSector = 0;  // absolute
  std::uint32_t sectorCount = 0;  // even: mkfs.fat counts in KiB
  std::uint8_t typeByte = 0x06;
  unsigned sectorsPerCluster = 0;  // 0 lets mkfs.fat choose
  std::string label;
};

struct DiskPlan {
  std::uint64_t totalSectors = 0;
  std::uint32_t extendedStart = 0;  // 0: no extended partition
  std::uint32_t extendedSectors = 0;
  // Primary partitions in table order, then the logical ones in chain order;
  // the extended entry follows the primaries.
  std::vector<PartitionPlan> partitions;
  // A GUID partition table instead of an MBR: type byte 0xEF becomes an EFI
  // System entry, any other a Microsoft basic-data one; no extended partition.
  bool gpt = false;
};

// Writes the partition table with sfdisk and formats every FAT partition with
// mkfs.fat. A foreign partition stays blank; an NTFS stub gets only a boot
// sector with "NTFS    " at byte 3 and the 55 AA signature, enough for the
// table walk to take it for NTFS.
void BuildDisk(const std::filesystem::path& image, const DiskPlan& plan);

// A file to copy onto a volume: its name, its bytes, and its modification
// time (seconds since 1970, UTC), which mcopy -m stores as the entry's dates.
struct HostFile {
  std::string name;
  std::string bytes;
  std::int64_t modified = 0;
};

// A file of `size` high bytes (HighBytes) seeded by its name, which no scan
// takes for a directory entry.
HostFile PatternFile(const std::string& name, std::size_t size, std::int64_t modified);

// One FAT volume of an image, written through mtools. Paths are relative to
// the volume's root, "/"-separated, without a leading slash. Every command
// runs with TZ=UTC, so the dates on the volume are the UTC dates of the times
// given here. The files copied pass through folders below `scratch`.
class MtoolsVolume {
 public:
  // 2000-01-01 12:00 UTC: mkfs.fat's and mtools' own time stamps, for
  // commands whose dates do not matter.
  static constexpr std::int64_t kToolEpoch = 946728000;

  MtoolsVolume(std::filesystem::path image, std::uint32_t startSector, std::filesystem::path scratch);

  const std::filesystem::path& Image() const { return image_; }

  // mmd; the folders get the date of `epoch`.
  void MakeFolders(const std::vector<std::string>& paths, std::int64_t epoch = kToolEpoch);
  // Writes the files on the host and copies them, in the order given, into
  // `folder` ("" for the root) with one mcopy -m, which keeps their dates
  // (the UTC day).
  void CopyFiles(const std::string& folder, const std::vector<HostFile>& files);
  void Delete(const std::vector<std::string>& paths);
  void DeleteTree(const std::string& path);
  void SetHidden(const std::string& path);
  // The first cluster of each path as mshowfat reports it; files without
  // data have none and are left out of the map.
  std::map<std::string, std::uint32_t> FirstClusters(const std::vector<std::string>& paths);
  // The chain of a file as mshowfat lists it: "<first-last>" for each run of
  // consecutive clusters.
  std::vector<std::string> ClusterRuns(const std::string& path);

 private:
  std::string Run(const std::string& tool, const std::string& arguments, std::int64_t epoch = kToolEpoch);
  std::string Target(const std::string& path) const;

  std::filesystem::path image_;
  std::uint32_t startSector_;
  std::filesystem::path scratch_;
  unsigned copies_ = 0;
};

// A calendar date.
struct Ymd {
  int year = 0;
  int month = 0;
  int day = 0;
};

Ymd UtcDate(std::int64_t epoch);
// Noon UTC of the date: a time whose date no time zone can shift.
std::int64_t NoonUtc(Ymd date);
// "dd-mm-yyyy " with its trailing blank, as the item list shows dates.
std::string ListedDate(Ymd date);

// Writes `bytes` at `offset` of every live 32-byte directory entry in the
// volume [startSector, startSector + sectorCount) whose 8.3 name bytes are
// `name11` (a file's when `folder` is false); damage no tool makes. Returns
// the number of entries changed.
int PatchEntry(const std::filesystem::path& image, std::uint32_t startSector, std::uint32_t sectorCount,
               const std::string& name11, std::size_t offset, const std::string& bytes, bool folder = false);

// Writes `bytes` at byte `offset` of the image.
void PatchImage(const std::filesystem::path& image, std::uint64_t offset, const std::string& bytes);

// Rewrites the access date of every live 32-byte directory entry in the
// volume [startSector, startSector + sectorCount) whose 8.3 name bytes are
// `name11` (such as "README  TXT"); mtools always writes the access date equal
// to the write date. Returns the number of entries changed.
int PatchAccessDate(const std::filesystem::path& image, std::uint32_t startSector, std::uint32_t sectorCount,
                    const std::string& name11, std::uint16_t dosDate);

// Marks the live directory entry of the folder whose 8.3 name bytes are
// `name11` as deleted (first byte 0xE5), and leaves everything in it as it
// is, the way a folder's entry alone is deleted. Returns the number of
// entries changed.
int MarkFolderEntryDeleted(const std::filesystem::path& image, std::uint32_t startSector, std::uint32_t sectorCount,
                           const std::string& name11);

// FNV-1a over the whole file: tells whether a command changed any byte.
std::uint64_t FileFingerprint(const std::filesystem::path& path);

}  // namespace salvex::testing
