#pragma once

#include "common/le_bytes.h"
#include "content/check_budget.h"
#include "content/content_extent.h"
#include "content/content_source.h"

namespace salvex {

// A local file header, with a version, method and name length a writer
// would put there.
bool LooksLikeZipStart(Bytes start);

// A ZIP (and DOCX, XLSX, ODT, EPUB, JAR ...) whose bytes are exactly the
// source's: its end of central directory, the last one with its signature
// at most a comment's length before the end; every member the directory
// lists has a local header that matches, and its data gives the CRC-32 it
// claims (stored or deflated; a member listed twice is checked once).
// Unjudged when the archive is ZIP64, a member is encrypted or compressed
// in another way, or the budget or Stop cut the checks short.
ContentExtent CheckZip(ContentSource& source, IntactCheckBudget& budget);

// A ZIP from its first local header, whose end is not known: the first end
// of central directory record whose directory lies just before it, counted
// from the start; then checked as CheckZip does over those bytes. The
// extension says what the members make it: docx, xlsx, pptx, odt, ods,
// odp, odg, epub, jar, apk, or zip.
ContentExtent WalkZip(ContentSource& source, IntactCheckBudget& budget);

}  // namespace salvex
