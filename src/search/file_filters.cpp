#include "search/file_filters.h"

#include <algorithm>

#include "search/match_pattern.h"

namespace salvex {

FilterTable::AddResult FilterTable::Add(std::string_view filter) {
  if (filters_.size() >= kMaxFilters) return AddResult::tableFull;
  if (DecodeUtf8(filter).size() > kMaxFilterLength) return AddResult::tooLong;
  if (filter.empty()) return AddResult::blank;
  if (std::find(filters_.begin(), filters_.end(), filter) != filters_.end()) return AddResult::alreadyListed;
  filters_.insert(filters_.begin(), std::string(filter));
  return AddResult::added;
}

bool FilterTable::Remove(std::size_t position) {
  if (position >= filters_.size()) return false;
  filters_.erase(filters_.begin() + static_cast<std::ptrdiff_t>(position));
  return true;
}

bool FilterTable::PassesFilters(std::string_view name) const {
  if (filters_.empty()) return true;
  const std::u32string upperName = UpperCase(DecodeUtf8(name));
  return std::any_of(filters_.begin(), filters_.end(), [&](const std::string& filter) {
    return MatchPattern(upperName, UpperCase(DecodeUtf8(filter)));
  });
}

const char* FilterRefusalMessage(FilterTable::AddResult result) {
  switch (result) {
    case FilterTable::AddResult::tableFull: return "      You cannot add more Filters     ";
    case FilterTable::AddResult::tooLong: return "      Filter too long     ";
    case FilterTable::AddResult::blank: return "      You can not add a blank entry.     ";
    case FilterTable::AddResult::alreadyListed: return "      Filter already exists in the list     ";
    case FilterTable::AddResult::added: break;
  }
  return "";
}

}  // namespace salvex
