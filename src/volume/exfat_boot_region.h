#pragma once

#include <cstdint>
#include <optional>

#include "common/le_bytes.h"
#include "common/sector.h"

namespace salvex {

// An exFAT volume begins with two boot regions of 12 sectors each, the main
// one and its backup: the boot sector, 8 extended boot sectors, the OEM
// parameters, a reserved sector and a sector filled with the checksum of
// the 11 before it. The sectors are the volume's own: 512 to 4096 bytes.
inline constexpr std::uint32_t kExfatBootRegionSectors = 12;
inline constexpr std::uint32_t kExfatBackupBootRegion = 12;
// The disk sectors that hold both boot regions at the largest sector size.
inline constexpr std::uint32_t kExfatBootRegionsMaxDiskSectors = 2 * kExfatBootRegionSectors * 8;

// The fields of an exFAT boot sector that locate its FAT, its cluster heap
// and its root directory. Offsets and lengths are in 512-byte disk sectors
// (the boot sector's own counts times the volume's sector size over 512),
// relative to the volume's first sector; the two shifts are as stored.
struct ExfatBootFields {
  std::uint64_t partitionOffset = 0;
  std::uint64_t volumeLength = 0;
  std::uint64_t fatOffset = 0;
  std::uint64_t fatLength = 0;
  std::uint64_t clusterHeapOffset = 0;
  std::uint32_t clusterCount = 0;
  std::uint32_t rootCluster = 0;
  std::uint32_t volumeSerial = 0;
  std::uint16_t revision = 0;
  std::uint16_t volumeFlags = 0;
  std::uint8_t bytesPerSectorShift = 0;
  std::uint8_t sectorsPerClusterShift = 0;
  std::uint8_t numberOfFats = 0;

  // 9 to 12: 512 to 4096 bytes a sector.
  bool HasValidSectorSize() const { return bytesPerSectorShift >= 9 && bytesPerSectorShift <= 12; }
  // Disk sectors per volume sector: 1 where the sector size is not valid.
  std::uint32_t SectorScale() const { return HasValidSectorSize() ? 1u << (bytesPerSectorShift - 9) : 1u; }
  std::uint32_t SectorsPerCluster() const {
    const unsigned shift = sectorsPerClusterShift + (HasValidSectorSize() ? bytesPerSectorShift - 9 : 0);
    return shift < 32 ? std::uint32_t{1} << shift : 0;
  }
  // The sector of the FAT in use: the second one when the volume has two
  // and its flags say the second is active.
  std::uint64_t ActiveFatOffset() const {
    return numberOfFats == 2 && (volumeFlags & 1) != 0 ? fatOffset + fatLength : fatOffset;
  }
};

// Why a boot region was or was not taken.
enum class ExfatBootVerdict {
  sound,
  tooShort,           // fewer than 12 sectors of bytes
  noSignature,        // no 0x55 0xAA at the end of the boot sector
  noFileSystemText,   // no "EXFAT   " at byte 3
  notZeroed,          // bytes 11 to 63 (where FAT keeps its fields) are not all zero
  badChecksum,        // sector 11 does not repeat the checksum of sectors 0 to 10
  badSectorSize,      // not 512-byte sectors
  badClusterSize,     // a cluster of more than 32 MiB
  badFatCount,        // neither one nor two FATs
  badLayout,          // the FAT or the cluster heap lies outside the volume, or overlaps the boot regions
  badClusterCount,    // no clusters, or more than the heap or the FAT holds
  badRootCluster,     // a root directory cluster outside the heap
};

const char* ExfatBootVerdictText(ExfatBootVerdict verdict);

// The checksum of a boot region: a 32-bit rotate-right-and-add over the
// bytes of its first 11 sectors (of `sectorBytes` each), leaving out VolumeFlags and
// PercentInUse (bytes 106, 107 and 112), which change without the checksum
// being rewritten.
std::uint32_t ExfatBootChecksum(Bytes region, std::size_t sectorBytes = kSectorSize);

// True when `sector` names itself an exFAT boot sector ("EXFAT   " and the
// signature); the fields are judged by JudgeExfatBootRegion.
bool IsExfatBootSector(Bytes sector);

ExfatBootFields DecodeExfatBootFields(Bytes bootSector);

// Judges one boot region (12 sectors of the size its boot sector gives)
// by its own bytes alone.
ExfatBootVerdict JudgeExfatBootRegion(Bytes region);

struct ExfatBootChoice {
  ExfatBootFields fields;
  bool fromBackup = false;
  ExfatBootVerdict mainVerdict = ExfatBootVerdict::sound;
  ExfatBootVerdict backupVerdict = ExfatBootVerdict::sound;
};

// The last sector of the volume whose boot region begins at `start`: that
// of its last cluster (the heap ends there, however long the volume says
// it is), never past the disk's `diskSectors` (0: unknown). A chain that
// links past it leaves the volume.
SectorNumber ExfatLastSector(SectorNumber start, const ExfatBootFields& fields, std::uint64_t diskSectors);

// The main region's fields when it is sound, else the backup's; nothing
// when neither is. `volume` holds the volume's first
// kExfatBootRegionsMaxDiskSectors disk sectors (fewer when the disk ends
// sooner): both regions, whatever the sector size.
std::optional<ExfatBootChoice> ChooseExfatBootRegion(Bytes volume);

}  // namespace salvex
