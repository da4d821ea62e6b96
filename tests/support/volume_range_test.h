#pragma once

#include <cstdint>

#include <gtest/gtest.h>

#include "disk/scan_state.h"
#include "disk/sector_reader.h"
#include "volume/volume_context.h"
#include "support/byte_image.h"
#include "support/recording_ui_port.h"

namespace salvex::testing {

// The reader, scan state, volume and UI port that the geometry operations
// work on, set to a sector range of a crafted image.
class VolumeRangeTest : public ::testing::Test {
 protected:
  VolumeContext Context(const ByteImage& image, FsType type, std::uint32_t start, std::uint32_t size) {
    reader.Open(image.Source());
    scan.selectedFsType = type;
    scan.rangeStart = start;
    scan.rangeSize = size;
    scan.rangeEnd = start + size - 1;
    return {reader, scan, volume, ui};
  }

  std::uint16_t retries = 1;
  SectorReader reader{retries};
  ScanState scan;
  VolumeParameters volume;
  RecordingUiPort ui;
};

}  // namespace salvex::testing
