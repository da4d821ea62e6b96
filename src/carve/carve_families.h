#pragma once

#include "carve/carve_format.h"

namespace salvex {

// Each family's carving, one file each.
CarveFormat JpegFamily();
CarveFormat PngFamily();
CarveFormat GifFamily();
CarveFormat BmpFamily();
CarveFormat PdfFamily();
CarveFormat ZipFamily();

}  // namespace salvex
