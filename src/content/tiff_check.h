#pragma once

#include "common/le_bytes.h"
#include "content/check_budget.h"
#include "content/content_extent.h"
#include "content/content_source.h"

namespace salvex {

// A TIFF header ("II*\0" or "MM\0*", or the variants of Olympus and
// Panasonic raw files) whose first directory lies after it.
bool LooksLikeTiffStart(Bytes start);

// A TIFF or a camera raw file built on it (CR2, NEF, ARW, DNG, ORF, RW2,
// PEF): its directories, sub-directories and EXIF directory walked
// (each entry's type one TIFF has, its values inside the file); the file
// ends past the last byte any entry, strip, tile or preview points at. An
// embedded JPEG preview must hold together as a JPEG. Unchecked at best:
// raw and uncompressed pixels carry no check. The extension follows the
// maker and the format's own marks: cr2, nef, arw, dng, orf, rw2, pef or tif.
ContentExtent WalkTiff(ContentSource& source, IntactCheckBudget& budget);

}  // namespace salvex
