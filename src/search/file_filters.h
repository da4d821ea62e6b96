#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace salvex {

// The user's file filters: while there are none every file passes; else a
// file passes when its name matches one of them (both upper-cased). Newest
// first. Folders are never filtered.
class FilterTable {
 public:
  static constexpr std::size_t kMaxFilters = 99;
  static constexpr std::size_t kMaxFilterLength = 19;

  enum class AddResult { added, tableFull, tooLong, blank, alreadyListed };

  // Adds a filter at the top, unless the table is full, the text is too long
  // (20 characters or more), blank, or listed already (case counts).
  AddResult Add(std::string_view filter);
  // Removes the filter at `position`; false when there is none.
  bool Remove(std::size_t position);
  void Clear() { filters_.clear(); }

  const std::vector<std::string>& Filters() const { return filters_; }
  std::size_t FilterCount() const { return filters_.size(); }

  bool PassesFilters(std::string_view name) const;

 private:
  std::vector<std::string> filters_;
};

// The message box texts of the four refusals; empty for `added`.
const char* FilterRefusalMessage(FilterTable::AddResult result);

}  // namespace salvex
