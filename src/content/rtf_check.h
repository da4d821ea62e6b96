#pragma once

#include "common/le_bytes.h"
#include "content/check_budget.h"
#include "content/content_extent.h"
#include "content/content_source.h"

namespace salvex {

// "{\rtf" and a version digit.
bool LooksLikeRtfStart(Bytes start);

// An RTF document: seven-bit text whose groups nest to the brace that
// closes the first (escaped braces and \binN data skipped); it ends there.
// Unchecked at best: text carries no check.
ContentExtent WalkRtf(ContentSource& source, IntactCheckBudget& budget);

}  // namespace salvex
