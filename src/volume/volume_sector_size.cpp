#include "volume/volume_sector_size.h"

#include "volume/boot_sector.h"
#include "volume/exfat_boot_region.h"

namespace salvex {

std::uint32_t VolumeSectorBytes(SectorReader& reader, SectorNumber volumeStart, FsType type) {
  SectorBuffer boot{};
  ReadSectorsZeroed(reader, volumeStart, 1, boot);
  if (!HasBootSignature(boot)) return kSectorSize;
  if (type == FsType::exfat) {
    const ExfatBootFields fields = DecodeExfatBootFields(boot);
    return fields.HasValidSectorSize() ? fields.SectorScale() * kSectorSize : kSectorSize;
  }
  const std::uint32_t scale = BootSectorScale(boot);
  return scale == 0 ? kSectorSize : scale * kSectorSize;
}

}  // namespace salvex
