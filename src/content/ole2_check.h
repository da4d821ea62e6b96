#pragma once

#include "common/le_bytes.h"
#include "content/check_budget.h"
#include "content/content_extent.h"
#include "content/content_source.h"

namespace salvex {

// A compound file header: its signature, byte order mark, and a sector
// size of 512 (version 3) or 4096 (version 4).
bool LooksLikeOle2Start(Bytes start);

// A compound file (DOC, XLS, PPT, MSG, ...): its FAT read from the sectors
// its header and DIFAT name; the file ends after the last sector the FAT
// uses. Its directory's chain must end where the FAT says, its entries be
// ones the format has, and every stream's chain (in the FAT, or in the
// mini FAT for small streams) hold as many sectors as its size needs,
// without loops. Unchecked at best: what the streams hold carries no
// check. The extension follows the streams: doc, xls, ppt, msg, or ole.
ContentExtent WalkOle2(ContentSource& source, IntactCheckBudget& budget);

}  // namespace salvex
