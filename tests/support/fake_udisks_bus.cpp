#include "support/fake_udisks_bus.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace salvex::testing {
namespace {

constexpr int kFirstLineTimeoutMs = 20000;

std::string ReadLine(int fd) {
  std::string line;
  for (;;) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, kFirstLineTimeoutMs) <= 0) return {};
    char c = 0;
    if (::read(fd, &c, 1) != 1) return {};
    if (c == '\n') return line;
    line += c;
  }
}

}  // namespace

std::string ChildProcess::StartAndReadLine(const std::vector<std::string>& argv) {
  Stop();
  int out[2];
  if (::pipe(out) != 0) return {};
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  ::close(out[1]);
  const std::string line = pid_ > 0 ? ReadLine(out[0]) : std::string();
  ::close(out[0]);
  return line;
}

void ChildProcess::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

FakeUdisksBus::FakeUdisksBus(const std::filesystem::path& dir, const std::filesystem::path& image) : image_(image) {
  const std::filesystem::path config = dir / "bus.conf";
  std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                           "<busconfig>\n"
                           "  <listen>unix:path=" << (dir / "bus.socket").string() << "</listen>\n"
                           "  <auth>EXTERNAL</auth>\n"
                           "  <policy context=\"default\">\n"
                           "    <allow user=\"*\"/>\n"
                           "    <allow own=\"*\"/>\n"
                           "    <allow send_destination=\"*\"/>\n"
                           "    <allow receive_sender=\"*\"/>\n"
                           "  </policy>\n"
                           "</busconfig>\n";
  address_ = daemon_.StartAndReadLine({"dbus-daemon", "--nofork", "--print-address", "--config-file=" + config.string()});
  running_ = !address_.empty();
  if (const char* previous = std::getenv("DBUS_SYSTEM_BUS_ADDRESS")) {
    previousAddress_ = previous;
    hadAddress_ = true;
  }
  if (running_) ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
}

FakeUdisksBus::~FakeUdisksBus() {
  service_.Stop();
  daemon_.Stop();
  if (hadAddress_) {
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", previousAddress_.c_str(), 1);
  } else {
    ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  }
}

void FakeUdisksBus::Serve(Service service) {
  service_.Stop();
  if (service == Service::none || address_.empty()) return;
  const char* mode = service == Service::grant ? "grant" : service == Service::writable ? "writable" : "refuse";
  running_ = service_.StartAndReadLine({FAKE_UDISKS_SERVICE, address_, image_.string(), mode}) == "ready";
}

}  // namespace salvex::testing
