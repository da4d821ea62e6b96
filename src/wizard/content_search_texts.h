#pragma once

#include <string>

#include "search/find_files.h"
#include "session/content_search.h"

namespace salvex::wizard {

// The captions Find File(s) gains for a search by content.
inline constexpr const char* kContainingTextCaption = "containing text";
inline constexpr const char* kIgnoreCaseCaption = "ignore case";
inline constexpr const char* kOffsetColumnTitle = "Offset";
inline constexpr const char* kHitsColumnTitle = "Hits";
// The File Name of a row found in free space, which no file holds.
inline constexpr const char* kFreeSpaceRowName = "(free space)";
inline constexpr const char* kSearchingContentsStatus = "Searching file contents...";

// The Offset cell: where a file holds the text, in bytes from its start
// ("508"), or where free space does ("sector 167 + 188").
std::string FoundOffsetText(const FoundFileRow& row);

// What the search did, for the line under the list: how many files it read
// and whether the free space too, what it could not read, or that it was
// stopped.
std::string ContentSearchStatus(const ContentSearchSummary& summary);

// Why a text cannot be looked for; empty when it can.
std::string ContainingTextProblem(const std::string& text);

}  // namespace salvex::wizard
