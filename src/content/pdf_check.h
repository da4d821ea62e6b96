#pragma once

#include "common/le_bytes.h"
#include "content/check_budget.h"
#include "content/content_extent.h"
#include "content/content_source.h"

namespace salvex {

// "%PDF-" and a version digit.
bool LooksLikePdfStart(Bytes start);

// A PDF whose bytes are exactly the source's: its header, "%%EOF" near the
// end (after it only line ends and padding), and, where the last trailer
// says where its cross-reference table is ("startxref"), a table or stream
// there, each object the table lists starting where it says.
ContentExtent CheckPdf(ContentSource& source);

// A PDF from its header, whose end is not known: the first "%%EOF" after
// which no incremental update follows and whose cross-reference table
// holds (or the first of several when none does); checked as CheckPdf does
// over those bytes. Cut short, sound up to the last "endobj", when there
// is no "%%EOF".
ContentExtent WalkPdf(ContentSource& source, IntactCheckBudget& budget);

}  // namespace salvex
