#include "session/filter_patterns.h"

namespace salvex {

Outcome AddFilterPatterns(Session& session, const std::vector<std::string>& patterns) {
  for (const std::string& pattern : patterns) {
    const FilterTable::AddResult result = session.filters.Add(pattern);
    if (result == FilterTable::AddResult::added || result == FilterTable::AddResult::alreadyListed) continue;
    // The box's text, without the blanks that pad it.
    std::string message = FilterRefusalMessage(result);
    message.erase(0, message.find_first_not_of(' '));
    message.erase(message.find_last_not_of(' ') + 1);
    return Outcome::Failed(message + ": " + pattern);
  }
  return {};
}

}  // namespace salvex
