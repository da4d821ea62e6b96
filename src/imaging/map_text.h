#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "imaging/rescue_map.h"

namespace salvex {

// A mapfile read back: the map, or why not (with the line number).
struct ParsedMap {
  std::optional<RescueMap> map;
  std::string error;
};

// Reads the text of a GNU ddrescue mapfile: comment lines (#), the
// current-position line (`pos status [pass]`), then `pos size status` lines
// that follow each other without gaps or overlaps. Numbers are decimal,
// 0x hexadecimal or 0 octal, as ddrescue writes and reads them. Any other
// line, a status character ddrescue does not know, a block of no bytes or
// one that ends past 2^63 - 1 is an error. A map whose first block starts
// after 0 has the bytes before it non-tried.
ParsedMap ParseRescueMap(std::string_view text);

// What the comment lines at the top of a written map say.
struct MapHeading {
  std::string program;      // "Brimora Salvex FAT 1.0"
  std::string commandLine;  // control characters are shown as '?'
  std::string startTime;
  std::string currentTime;
};

// The mapfile text for `map`, in ddrescue's layout, so that ddrescue,
// ddrescuelog and ddrescueview read it as their own.
std::string FormatRescueMap(const RescueMap& map, const MapHeading& heading);

}  // namespace salvex
