#pragma once

#include <cstdint>

#include "common/le_bytes.h"
#include "deepscan/hits.h"
#include <optional>

#include "disk/sector_reader.h"

namespace salvex {

// Reads the MFT record at `sector` and adds it as a folder or file hit when it
// has a name. Returns true when a hit was added.
bool RecordMftHit(SectorReader& reader, SectorNumber sector, HitLists& hits);

// Adds the hit of a folder record already read and repaired.
bool RecordMftHitFrom(Bytes record, SectorNumber sector, HitLists& hits);

// Reads the index block at `sector` (its first sector, as swept, gives its
// size) and adds it when its first entry names a plausible owner.
bool RecordIndexBlockHit(SectorReader& reader, SectorNumber sector, Bytes sweptSector, HitLists& hits);

// The owner of an index block already read and repaired, or nothing.
std::optional<IndexBlockHit> ReadIndexBlockHit(Bytes block, SectorNumber sector);

}  // namespace salvex
