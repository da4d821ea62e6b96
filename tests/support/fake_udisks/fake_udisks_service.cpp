// A stand-in for udisks2 on a private bus, for the tests of the way salvex
// asks it for a disk: Manager.ResolveDevice knows one device, the image given,
// and Block.OpenForBackup hands out a descriptor of it (read-only, or
// writable to see it refused), or answers NotAuthorized as polkit's refusal.
//
//   fake_udisks_service BUS_ADDRESS IMAGE grant|writable|refuse
//
// Prints "ready" once it owns org.freedesktop.UDisks2; runs until killed or
// until the bus goes away.

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr char kDevicePath[] = "/org/freedesktop/UDisks2/block_devices/fake0";

struct Service {
  std::string image;
  std::string mode;
};

// ResolveDevice(a{sv} devspec, a{sv} options) -> ao: the device when
// devspec's "path" is the image, else none, as udisks2 answers for a path it
// does not know.
int ResolveDevice(sd_bus_message* call, void* data, sd_bus_error*) {
  const Service& service = *static_cast<const Service*>(data);
  bool known = false;
  int status = sd_bus_message_enter_container(call, 'a', "{sv}");
  if (status < 0) return status;
  while ((status = sd_bus_message_enter_container(call, 'e', "sv")) > 0) {
    const char* key = nullptr;
    if ((status = sd_bus_message_read(call, "s", &key)) < 0) return status;
    if (std::strcmp(key, "path") == 0) {
      const char* path = nullptr;
      if ((status = sd_bus_message_read(call, "v", "s", &path)) < 0) return status;
      known = service.image == path;
    } else if ((status = sd_bus_message_skip(call, "v")) < 0) {
      return status;
    }
    if ((status = sd_bus_message_exit_container(call)) < 0) return status;
  }
  if (status < 0) return status;
  sd_bus_message* reply = nullptr;
  if ((status = sd_bus_message_new_method_return(call, &reply)) < 0) return status;
  status = known ? sd_bus_message_append(reply, "ao", 1, kDevicePath) : sd_bus_message_append(reply, "ao", 0);
  if (status >= 0) status = sd_bus_send(nullptr, reply, nullptr);
  sd_bus_message_unref(reply);
  return status;
}

// OpenForBackup(a{sv} options) -> h.
int OpenForBackup(sd_bus_message* call, void* data, sd_bus_error* error) {
  const Service& service = *static_cast<const Service*>(data);
  if (service.mode == "refuse") {
    return sd_bus_error_set(error, "org.freedesktop.UDisks2.Error.NotAuthorized",
                            "Not authorized to perform operation");
  }
  const int fd = ::open(service.image.c_str(), (service.mode == "writable" ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) return sd_bus_error_set_errno(error, errno);
  const int status = sd_bus_reply_method_return(call, "h", fd);
  ::close(fd);
  return status;
}

const sd_bus_vtable kManager[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("ResolveDevice", "a{sv}a{sv}", "ao", ResolveDevice, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kBlock[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("OpenForBackup", "a{sv}", "h", OpenForBackup, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

int Fail(const char* what, int status) {
  std::fprintf(stderr, "fake_udisks_service: %s: %s\n", what, std::strerror(-status));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: fake_udisks_service BUS_ADDRESS IMAGE grant|writable|refuse\n");
    return 2;
  }
  Service service{argv[2], argv[3]};
  sd_bus* bus = nullptr;
  int status = sd_bus_new(&bus);
  if (status < 0) return Fail("sd_bus_new", status);
  if ((status = sd_bus_set_address(bus, argv[1])) < 0) return Fail("sd_bus_set_address", status);
  if ((status = sd_bus_set_bus_client(bus, 1)) < 0) return Fail("sd_bus_set_bus_client", status);
  if ((status = sd_bus_start(bus)) < 0) return Fail("sd_bus_start", status);
  if ((status = sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/UDisks2/Manager",
                                         "org.freedesktop.UDisks2.Manager", kManager, &service)) < 0) {
    return Fail("Manager", status);
  }
  if ((status = sd_bus_add_object_vtable(bus, nullptr, kDevicePath, "org.freedesktop.UDisks2.Block", kBlock,
                                         &service)) < 0) {
    return Fail("Block", status);
  }
  if ((status = sd_bus_request_name(bus, "org.freedesktop.UDisks2", 0)) < 0) return Fail("request name", status);
  std::printf("ready\n");
  std::fflush(stdout);
  for (;;) {
    status = sd_bus_process(bus, nullptr);
    if (status < 0) break;
    if (status > 0) continue;
    if (sd_bus_wait(bus, UINT64_MAX) < 0) break;
  }
  sd_bus_flush_close_unref(bus);
  return 0;
}
