#pragma once

#include "common/le_bytes.h"
#include "content/check_budget.h"
#include "content/content_extent.h"
#include "content/content_source.h"

namespace salvex {

// A sector's worth of text: UTF-8 (an optional byte order mark), no NUL,
// no control character but tab, line feed, form feed and carriage return,
// and mostly letters, digits, blanks and punctuation.
bool LooksLikeTextStart(Bytes start);

// Plain text (and CSV, HTML, XML, JSON) by a conservative rule: it runs
// while its bytes stay text, and must end in a NUL (the zeros after a
// file's last byte in its cluster) or where the bytes at hand end; text
// that runs into other bytes is not taken, since nothing says where it
// began to be another file's. At least kMinTextBytes long, with a line
// end. Unchecked at best. The extension follows the first bytes and the
// lines: xml, html, json, csv, or txt.
ContentExtent WalkText(ContentSource& source, IntactCheckBudget& budget);

inline constexpr std::uint64_t kMinTextBytes = 32;

}  // namespace salvex
