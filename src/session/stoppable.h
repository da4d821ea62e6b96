#pragma once

#include <atomic>
#include <functional>

namespace salvex {

// Runs `work` on a worker thread while this thread waits for Ctrl-C (SIGINT)
// or SIGTERM, which raise `stop` instead of killing the process: the work ends
// at its next check and what it found or wrote is still reported. An exception
// thrown by the work (out of memory, say) is rethrown here. True when a
// signal asked the work to stop.
bool RunStoppable(const std::function<void()>& work, std::atomic<bool>& stop);

}  // namespace salvex
