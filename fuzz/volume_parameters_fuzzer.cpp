// The input is a small disk holding one volume at sector 0: its geometry read
// from the boot sector, and inferred from the directories, as each of the
// three file-system types.

#include "common/le_bytes.h"
#include "volume/boot_sector.h"
#include "fat/calculate_partition_parameters.h"
#include "volume/read_volume_parameters.h"
#include "fuzz_support.h"

using namespace salvex;

namespace {

// Past the input, an empty slice: the product would wrap.
Bytes SectorOf(Bytes disk, SectorNumber sector) {
  return sector >= disk.size() / kSectorSize ? Bytes{} : Slice(disk, sector * kSectorSize, kSectorSize);
}

void CheckFromBootSector(Bytes disk, const VolumeParameters& volume) {
  if (volume.fsType == FsType::ntfs) {
    FUZZ_CHECK(IsValidSectorsPerCluster(volume.sectorsPerCluster));
    FUZZ_CHECK(volume.mftStart != 0 || volume.mftMirrStart != 0);
    FUZZ_CHECK(volume.mftStart == 0 || HasText(SectorOf(disk, volume.mftStart), 0, "FILE"));
    FUZZ_CHECK(volume.mftMirrStart == 0 || HasText(SectorOf(disk, volume.mftMirrStart), 0, "FILE"));
    return;
  }
  FUZZ_CHECK(volume.sectorsPerCluster != 0);
  FUZZ_CHECK(volume.fat1Start == volume.reservedSectors);
  // Two FATs side by side, or one (fat2Start 0).
  const bool oneFat = volume.fat2Start == 0;
  FUZZ_CHECK(oneFat || volume.fat2Start == volume.fat1Start + volume.sectorsPerFat);
  // The last copy begins with F8, or the boot sector's own media byte (F0 on
  // a floppy disk, F9 to FF).
  const std::uint8_t media = u8(SectorOf(disk, oneFat ? volume.fat1Start : volume.fat2Start), 0);
  FUZZ_CHECK(media == 0xF0 || media >= 0xF8);
}

void CheckInferred(const VolumeParameters& volume) {
  FUZZ_CHECK(IsValidSectorsPerCluster(volume.sectorsPerCluster));
  FUZZ_CHECK(volume.fat1Start == volume.reservedSectors);
  const bool oneFat = volume.fat2Start == 0;
  FUZZ_CHECK(oneFat || volume.fat2Start == volume.fat1Start + volume.sectorsPerFat);
  const SectorNumber lastFat = oneFat ? volume.fat1Start : volume.fat2Start;
  FUZZ_CHECK(volume.rootDirStart == (volume.fsType == FsType::fat32 ? 2u : lastFat + volume.sectorsPerFat));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Bytes disk(data, size);
  const auto sectors = static_cast<std::uint32_t>(size / kSectorSize);
  if (sectors == 0) return 0;
  // One disk for every type: copying a large input is most of a run's time.
  Session session;
  fuzz::OpenInput(session, data, size);
  for (const FsType type : {FsType::fat12, FsType::fat16, FsType::fat32, FsType::ntfs}) {
    session.volume = {};
    session.scan.selectedFsType = type;
    session.scan.rangeSize = sectors;
    session.scan.rangeEnd = sectors - 1;
    SilentUiPort ui;
    VolumeContext context = session.Volume(ui);
    if (ReadVolumeParameters(context)) CheckFromBootSector(disk, session.volume);
    FUZZ_CHECK(session.volume.fsType == type);
    // The Standard Scan infers the geometry over what the boot sector left.
    const bool inferred = CalculatePartitionParameters(context);
    FUZZ_CHECK(!inferred || type != FsType::ntfs);
    if (inferred) CheckInferred(session.volume);
  }
  return 0;
}
