#pragma once

#include <string>

#include "carve/carve_format.h"
#include "content/content_source.h"

namespace salvex {

// A name for a carved file from what its bytes say, where that is cheap: a
// photo's EXIF time of taking and camera model ("2021-05-03 14-22-01 Canon
// EOS 80D"). Empty when the content says nothing usable; only printable
// ASCII, never a path separator.
std::string ContentNameOf(const CarveFormat& format, ContentSource& source);

}  // namespace salvex
