#include "session/stoppable.h"

#include <pthread.h>
#include <signal.h>

#include <ctime>
#include <exception>
#include <thread>

namespace salvex {

bool RunStoppable(const std::function<void()>& work, std::atomic<bool>& stop) {
  // SIGUSR1 is the worker telling this thread that it has finished.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR1);
  sigset_t previous;
  // Blocked before the worker starts, so only this thread ever takes them.
  pthread_sigmask(SIG_BLOCK, &signals, &previous);

  const pthread_t waiter = pthread_self();
  std::exception_ptr failure;
  std::atomic<bool> done{false};
  bool interrupted = false;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    done = true;
    pthread_kill(waiter, SIGUSR1);
  });
  // The worker's SIGUSR1 stays pending until taken, so waiting for it cannot
  // miss an ending that came first.
  while (true) {
    const int signal = sigwaitinfo(&signals, nullptr);
    if (signal == SIGUSR1 && done) break;
    if (signal == SIGINT || signal == SIGTERM) {
      interrupted = true;
      stop = true;
    }
  }
  worker.join();
  sigset_t finished;
  sigemptyset(&finished);
  sigaddset(&finished, SIGUSR1);
  const timespec now{0, 0};
  while (sigtimedwait(&finished, nullptr, &now) > 0) {
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (failure) std::rethrow_exception(failure);
  return interrupted;
}

}  // namespace salvex
