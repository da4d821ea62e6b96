#pragma once

#include <atomic>
#include <cstdint>

namespace salvex {

// How much work the checks of one run may do, and its Stop. A ZIP's central
// directory can list one huge member thousands of times, or members whose
// data overlap, so that inflating what it lists would take hours: a member
// named twice is checked once, and past the budget members are checked for
// their structure only (the verdict is then null at best). The same budget
// bounds what a carver inflates to judge what it finds.
struct IntactCheckBudget {
  std::uint64_t perFile = std::uint64_t{1} << 30;     // member bytes summed or inflated for one file
  std::uint64_t leftInRun = std::uint64_t{16} << 30;  // what the run may still spend, over all its files
  const std::atomic<bool>* stop = nullptr;            // raised: no verdict, at once
  std::uint32_t filesOverBudget = 0;                  // files left unjudged for lack of budget

  bool Stopped() const { return stop && stop->load(std::memory_order_relaxed); }
};

}  // namespace salvex
