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
CarveFormat IsoBmffFamily();
CarveFormat AviFamily();
CarveFormat WavFamily();
CarveFormat TiffFamily();
CarveFormat Mp3Family();
CarveFormat FlacFamily();
CarveFormat OggFamily();
CarveFormat Ole2Family();
CarveFormat RtfFamily();
CarveFormat SevenZipFamily();
CarveFormat RarFamily();
CarveFormat GzipFamily();
CarveFormat SqliteFamily();
CarveFormat TextFamily();

}  // namespace salvex
