#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace salvex::testing {

// A program started for a test, ended (SIGTERM) and waited for with it.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { Stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `argv` and returns the first line it prints on stdout (without
  // the newline): empty when it ended, or printed nothing for 20 seconds.
  std::string StartAndReadLine(const std::vector<std::string>& argv);
  void Stop();

 private:
  pid_t pid_ = -1;
};

// A private dbus-daemon, the system bus for the test's own process and its
// children while it lives (DBUS_SYSTEM_BUS_ADDRESS), with the stand-in for
// udisks2 (tests/support/fake_udisks) on it as asked. Any user may connect:
// a test that drops to nobody must still reach it.
class FakeUdisksBus {
 public:
  enum class Service { none, grant, writable, refuse };

  // `dir` holds the bus's configuration and socket; `image` is the one
  // device the service knows, by its path.
  FakeUdisksBus(const std::filesystem::path& dir, const std::filesystem::path& image);
  ~FakeUdisksBus();
  FakeUdisksBus(const FakeUdisksBus&) = delete;
  FakeUdisksBus& operator=(const FakeUdisksBus&) = delete;

  // True when the bus runs, and the service last asked for answers on it.
  bool Running() const { return running_; }
  const std::string& Address() const { return address_; }
  // Replaces the service on the bus with one that answers as `service` says.
  void Serve(Service service);

 private:
  std::filesystem::path image_;
  ChildProcess daemon_;
  ChildProcess service_;
  std::string address_;
  std::string previousAddress_;
  bool hadAddress_ = false;
  bool running_ = false;
};

}  // namespace salvex::testing
