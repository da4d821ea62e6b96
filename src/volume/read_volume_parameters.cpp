#include "volume/read_volume_parameters.h"

#include "common/le_bytes.h"
#include <algorithm>
#include <vector>

#include "volume/boot_sector.h"
#include "volume/exfat_boot_region.h"

namespace salvex {
namespace {

constexpr std::uint32_t kFat32BackupOffset = 6;
constexpr std::uint8_t kFixedDiskMedia = 0xF8;
constexpr std::size_t kMediaByte = 21;

SectorBuffer ReadSector(VolumeContext& context, SectorNumber sector) {
  SectorBuffer buffer{};
  ReadSectorsZeroed(context.reader, sector, 1, buffer);
  return buffer;
}

// A sector without the signature is not a boot sector to take a geometry
// from; nor is one whose fields no FAT volume can have (a cluster that is not
// a power of two of sectors, no sectors before the FAT or in it, a FAT12 or
// FAT16 root of no entries): its volume is read as one whose boot sector is lost.
bool IsUsableFatBootSector(Bytes sector) { return HasBootSignature(sector); }

bool AreSoundFatFields(const FatBootFields& fields, FsType fsType) {
  return IsValidSectorsPerCluster(fields.sectorsPerCluster) && fields.reservedSectors != 0 &&
         fields.sectorsPerFat != 0 && IsValidFatCount(fields.fatCount) &&
         (fsType == FsType::fat32 || (fields.rootEntries != 0 && fields.rootSectors != 0));
}

// The last copy of the FAT must begin with the fixed-disk media byte, or
// with the boot sector's own (0xF0 on a floppy disk): FAT #2 on a volume
// with two, FAT #1 on one with a single FAT, where what follows FAT #1 is
// the root directory or data.
bool LastFatBeginsWithMediaByte(VolumeContext& context, const FatBootFields& fields, std::uint8_t bootMedia) {
  const SectorNumber lastFat = context.scan.rangeStart + fields.reservedSectors +
                               SectorNumber{fields.fatCount - 1} * fields.sectorsPerFat;
  const std::uint8_t media = ReadSector(context, lastFat)[0];
  return media == kFixedDiskMedia || (media == bootMedia && (media == 0xF0 || media > kFixedDiskMedia));
}

bool IsUsableFatGeometry(VolumeContext& context, const FatBootFields& fields, FsType fsType, Bytes boot) {
  return AreSoundFatFields(fields, fsType) && LastFatBeginsWithMediaByte(context, fields, boot[kMediaByte]);
}

// Stores where the FATs lie, and where the volume ends when its boot sector
// says; returns the first sector after the FATs.
SectorNumber StoreFatGeometry(VolumeParameters& volume, SectorNumber rangeStart, const FatBootFields& fields,
                              Bytes boot) {
  // No cluster lies past the volume's last sector, though its last FAT
  // sector has room for entries of some.
  const std::uint64_t total = FatTotalSectors(boot);
  volume.volumeEnd = total != 0 ? rangeStart + total - 1 : 0;
  volume.sectorsPerFat = fields.sectorsPerFat;
  volume.sectorsPerCluster = fields.sectorsPerCluster;
  volume.reservedSectors = fields.reservedSectors;
  volume.fat1Start = rangeStart + fields.reservedSectors;
  // No second table: chains are read from FAT #1 alone.
  volume.fat2Start = fields.fatCount >= 2 ? volume.fat1Start + fields.sectorsPerFat : 0;
  return volume.fat1Start + SectorNumber{fields.fatCount} * fields.sectorsPerFat;
}

// The FAT32 backup boot sector, six sectors of the volume's size in: the
// main one's scale says which, and when the main one is lost, the first
// of the sector sizes that holds a signed sector there.
SectorBuffer ReadFat32Backup(VolumeContext& context, Bytes main) {
  const SectorNumber start = context.scan.rangeStart;
  if (const std::uint32_t scale = BootSectorScale(main); HasBootSignature(main) && scale != 0) {
    return ReadSector(context, start + kFat32BackupOffset * scale);
  }
  for (const std::uint32_t scale : {1u, 8u, 2u, 4u}) {
    const SectorBuffer backup = ReadSector(context, start + kFat32BackupOffset * scale);
    if (HasBootSignature(backup) && BootSectorScale(backup) == scale) return backup;
  }
  return ReadSector(context, start + kFat32BackupOffset);
}

bool ReadFat32(VolumeContext& context) {
  const SectorNumber start = context.scan.rangeStart;
  const SectorBuffer main = ReadSector(context, start);
  SectorBuffer boot = main;
  if (!IsUsableFatBootSector(boot)) {
    boot = ReadFat32Backup(context, main);
    if (!IsUsableFatBootSector(boot)) return false;
  }
  FatBootFields fields = DecodeFat32BootFields(boot);
  if (!IsUsableFatGeometry(context, fields, FsType::fat32, boot)) {
    // The backup's fields are tried even without its signature.
    boot = ReadFat32Backup(context, main);
    fields = DecodeFat32BootFields(boot);
    if (!IsUsableFatGeometry(context, fields, FsType::fat32, boot)) return false;
  }
  VolumeParameters& volume = context.volume;
  const SectorNumber dataStart = StoreFatGeometry(volume, start, fields, boot);
  volume.rootDirSectors = 0;
  volume.rootDirStart = fields.rootCluster;
  volume.clusterBase = dataStart - 2 * SectorNumber{fields.sectorsPerCluster};
  return true;
}

// FAT12 and FAT16: a fixed root directory after the FATs.
bool ReadFixedRootFat(VolumeContext& context) {
  const SectorNumber start = context.scan.rangeStart;
  const SectorBuffer boot = ReadSector(context, start);
  if (!IsUsableFatBootSector(boot)) return false;  // FAT12 and FAT16 keep no backup
  const FatBootFields fields = DecodeFat16BootFields(boot);
  if (!IsUsableFatGeometry(context, fields, context.volume.fsType, boot)) return false;
  VolumeParameters& volume = context.volume;
  volume.rootDirStart = StoreFatGeometry(volume, start, fields, boot);
  // Whole volume sectors: a last one partly used is the root's too.
  volume.rootDirSectors = fields.rootSectors;
  volume.clusterBase = volume.rootDirStart + volume.rootDirSectors - 2 * SectorNumber{fields.sectorsPerCluster};
  return true;
}

// NTFS keeps a copy of its boot sector in the last sector of the volume. Each
// failed check switches to the copy not used last.
class NtfsBootCopies {
 public:
  explicit NtfsBootCopies(VolumeContext& context) : context_(context) {}

  const SectorBuffer& Current() const { return current_; }

  bool ReadFirstSigned() {
    Read(true);
    if (HasBootSignature(current_)) return true;
    Switch();
    return HasBootSignature(current_);
  }

  void Switch() { Read(!usingPrimary_); }

 private:
  void Read(bool primary) {
    usingPrimary_ = primary;
    current_ = ReadSector(context_, primary ? context_.scan.rangeStart : context_.scan.rangeEnd);
  }

  VolumeContext& context_;
  SectorBuffer current_{};
  bool usingPrimary_ = true;
};

bool HoldsFileRecord(VolumeContext& context, SectorNumber sector) {
  return HasText(ReadSector(context, sector), 0, "FILE");
}

// The sector of the record the boot sector points at through `clusterOf`, or
// 0 when neither copy leads to a "FILE" record.
template <typename ClusterOf>
SectorNumber LocateRecord(VolumeContext& context, NtfsBootCopies& copies, std::uint32_t sectorsPerCluster,
                          ClusterOf clusterOf) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (attempt > 0) copies.Switch();
    const SectorNumber sector =
        SectorNumber{clusterOf(DecodeNtfsBootFields(copies.Current()))} * sectorsPerCluster + context.scan.rangeStart;
    if (HoldsFileRecord(context, sector)) return sector;
  }
  return 0;
}

bool ReadNtfs(VolumeContext& context) {
  NtfsBootCopies copies(context);
  if (!copies.ReadFirstSigned()) return false;
  std::uint32_t sectorsPerCluster = DecodeNtfsBootFields(copies.Current()).sectorsPerCluster;
  if (!IsValidSectorsPerCluster(sectorsPerCluster)) {
    copies.Switch();
    sectorsPerCluster = DecodeNtfsBootFields(copies.Current()).sectorsPerCluster;
    if (!IsValidSectorsPerCluster(sectorsPerCluster)) return false;
  }
  const SectorNumber mft =
      LocateRecord(context, copies, sectorsPerCluster, [](const NtfsBootFields& f) { return f.mftCluster; });
  const SectorNumber mftMirr =
      LocateRecord(context, copies, sectorsPerCluster, [](const NtfsBootFields& f) { return f.mftMirrCluster; });
  if (mft == 0 && mftMirr == 0) return false;

  const std::uint32_t clustersPerIndexBuffer = DecodeNtfsBootFields(copies.Current()).clustersPerIndexBuffer;
  VolumeParameters& volume = context.volume;
  volume.sectorsPerCluster = sectorsPerCluster;
  volume.clusterBase = context.scan.rangeStart;
  volume.mftStart = mft;
  volume.mftMirrStart = mftMirr;
  volume.ntfsConst2 = 2;
  // 0xF4 is the signed byte -12: index buffers of 2^12 = 4096 bytes.
  volume.indexBufferSectors = clustersPerIndexBuffer == 0xF4 ? 8 : clustersPerIndexBuffer * sectorsPerCluster;
  return true;
}

// Takes the main boot region, or its backup when the main one fails its
// checksum or holds fields no exFAT volume can have.
bool ReadExfat(VolumeContext& context) {
  const SectorNumber start = context.scan.rangeStart;
  std::vector<std::uint8_t> regions(std::size_t{kExfatBootRegionsMaxDiskSectors} * kSectorSize);
  ReadSectorsZeroed(context.reader, start, kExfatBootRegionsMaxDiskSectors, regions);
  const auto choice = ChooseExfatBootRegion(regions);
  if (!choice) return false;
  const ExfatBootFields& fields = choice->fields;
  VolumeParameters& volume = context.volume;
  volume.sectorsPerCluster = fields.SectorsPerCluster();
  // The boot region's judgement keeps both within 32 bits.
  volume.sectorsPerFat = static_cast<std::uint32_t>(fields.fatLength);
  volume.reservedSectors = static_cast<std::uint32_t>(fields.fatOffset);
  volume.fat1Start = start + fields.fatOffset;
  volume.fat2Start = fields.numberOfFats == 2 ? volume.fat1Start + fields.fatLength : 0;
  volume.rootDirSectors = 0;
  volume.rootDirStart = fields.rootCluster;
  volume.clusterBase = start + fields.clusterHeapOffset - 2 * SectorNumber{volume.sectorsPerCluster};
  const DiskSource* disk = context.reader.Source();
  volume.volumeEnd = ExfatLastSector(start, fields, disk ? disk->SizeBytes() / kSectorSize : 0);
  return true;
}

}  // namespace

bool ReadVolumeParameters(VolumeContext& context) {
  context.volume.fsType = context.scan.selectedFsType;
  // What a found file system's mount left says nothing of this volume.
  if (context.scan.selectedFsType != FsType::none) context.volume.volumeEnd = 0;
  switch (context.scan.selectedFsType) {
    case FsType::fat32: return ReadFat32(context);
    case FsType::fat12:
    case FsType::fat16: return ReadFixedRootFat(context);
    case FsType::ntfs: return ReadNtfs(context);
    case FsType::exfat: return ReadExfat(context);
    case FsType::none: break;
  }
  return true;
}

}  // namespace salvex
