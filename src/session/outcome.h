#pragma once

#include <string>
#include <utility>
#include <vector>

namespace salvex {

// What came of a session operation, as text a front end shows as it likes:
// why it could not be done (empty when it was), and what the user should
// know although it was.
struct Outcome {
  std::string error;
  std::vector<std::string> warnings;

  static Outcome Failed(std::string why) { return {std::move(why), {}}; }
  bool Ok() const { return error.empty(); }
};

}  // namespace salvex
