#include "cli/stoppable.h"

#include <pthread.h>
#include <signal.h>

#include <ctime>
#include <exception>
#include <thread>

namespace salvex::cli {

void RunStoppable(const std::function<void()>& work, std::atomic<bool>& stop) {
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigset_t previous;
  // Blocked before the worker starts, so only this thread ever sees them.
  pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);

  std::exception_ptr failure;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    done = true;
  });
  const timespec tick{0, 100'000'000};
  while (!done) {
    if (sigtimedwait(&stopSignals, nullptr, &tick) > 0) stop = true;
  }
  worker.join();
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (failure) std::rethrow_exception(failure);
}

}  // namespace salvex::cli
