// Ctrl-C for the command line: the signal raises the work's stop flag instead
// of killing the process, and the caller learns that the work was cut short.

#include "session/stoppable.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace salvex {
namespace {

using namespace std::chrono_literals;

// Waits for `stop` for at most ten seconds; whether it came.
bool AwaitStop(const std::atomic<bool>& stop) {
  for (int i = 0; i < 10'000 && !stop; ++i) std::this_thread::sleep_for(1ms);
  return stop;
}

TEST(RunStoppable, ASignalRaisesTheStopFlagAndIsReported) {
  for (const int signal : {SIGINT, SIGTERM}) {
    std::atomic<bool> stop{false};
    bool sawStop = false;
    const bool interrupted = RunStoppable(
        [&] {
          ::kill(::getpid(), signal);
          sawStop = AwaitStop(stop);
        },
        stop);
    EXPECT_TRUE(sawStop) << "signal " << signal;
    EXPECT_TRUE(interrupted) << "signal " << signal;
  }
}

TEST(RunStoppable, WorkThatEndsByItselfIsNotInterrupted) {
  std::atomic<bool> stop{false};
  int runs = 0;
  EXPECT_FALSE(RunStoppable([&] { ++runs; }, stop));
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(stop);
}

TEST(RunStoppable, TheWorksExceptionReachesTheCaller) {
  std::atomic<bool> stop{false};
  EXPECT_THROW(RunStoppable([] { throw std::runtime_error("out of memory"); }, stop), std::runtime_error);
}

}  // namespace
}  // namespace salvex
