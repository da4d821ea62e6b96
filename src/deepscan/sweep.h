#pragma once

#include "deepscan/hits.h"
#include "disk/scan_state.h"
#include "disk/sector_reader.h"
#include "items/recovery_settings.h"
#include "platform/ui_port.h"

namespace salvex {

// What a sweep reads and where its hits go.
struct SweepContext {
  SectorReader& reader;
  ScanState& scan;  // the range, and Stop
  const RecoverySettings& settings;  // sectors per read
  UiPort& ui;
  HitLists& hits;
  // Disk sectors per logical sector of the disk: on a disk of 4096-byte
  // sectors, boot sectors and the first sectors of folders lie only at
  // multiples of 8, and a hit elsewhere is chance bytes.
  std::uint32_t alignment = 1;

  bool IsAligned(SectorNumber number) const { return alignment <= 1 || number % alignment == 0; }
};

inline constexpr std::uint32_t kMaxFatBootSectorHits = 60000;
inline constexpr const char* kTooManyStructuresMessage = "Too many data structures found";

namespace panel {
inline constexpr std::string_view kBootSectorsFound = "Boot Sector(s) Found";
inline constexpr std::string_view kIndexEntriesFound = "Index Entries Found";
}  // namespace panel

// Reads every sector of the range (rangeSize sectors from rangeStart), chunk
// by chunk, and records FAT boot sectors and the first sectors of FAT
// folders; a last chunk that reaches past the range is read whole, but only
// the range's sectors are judged. Stop ends it after the chunk
// in hand; so does the 60001st boot sector.
void SweepFat(SweepContext& context);

// The same for exFAT: boot sectors (their regions are judged by the
// classification), the entry sets of folders, the sectors where a directory
// may begin and those that hold a root directory's entries.
void SweepExfat(SweepContext& context);

// The same for NTFS boot sectors, MFT file records and index blocks.
void SweepNtfs(SweepContext& context);

}  // namespace salvex
