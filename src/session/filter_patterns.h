#pragma once

#include <string>
#include <vector>

#include "session/outcome.h"
#include "session/session.h"

namespace salvex {

// Adds file filters to the session's table; one listed already is passed
// over. The first refused (too long, blank, table full) is the error.
Outcome AddFilterPatterns(Session& session, const std::vector<std::string>& patterns);

}  // namespace salvex
