#include "wizard/disk_sector_view.h"

#include <algorithm>

namespace salvex::wizard {

void DiskSectorView::ReadSectors(std::uint64_t first, std::uint32_t count, Done done) const {
  if (first >= diskSectors_) {
    done({first, {}, "sector " + std::to_string(first) + " lies past the disk's last, " + std::to_string(diskSectors_ - 1)});
    return;
  }
  const std::uint64_t left = diskSectors_ - first;
  const auto cut = static_cast<std::uint32_t>(std::min<std::uint64_t>({std::max<std::uint32_t>(count, 1), kMaxSectors, left}));
  read_(first, cut, std::move(done));
}

}  // namespace salvex::wizard
