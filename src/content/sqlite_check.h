#pragma once

#include "common/le_bytes.h"
#include "content/check_budget.h"
#include "content/content_extent.h"
#include "content/content_source.h"

namespace salvex {

// "SQLite format 3\0" and a page size SQLite allows.
bool LooksLikeSqliteStart(Bytes start);

// An SQLite database: its size is its page count (when the header's
// counter says that count is current) times its page size. The first page
// must hold a b-tree page header, and the b-tree pages it reaches (its
// interior pages' children, to every leaf) must be b-tree pages of the
// same kind. Unchecked at best: rows carry no check.
ContentExtent WalkSqlite(ContentSource& source, IntactCheckBudget& budget);

}  // namespace salvex
