#include "platform/udisks_open.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

namespace salvex {
namespace {

constexpr char kService[] = "org.freedesktop.UDisks2";
constexpr char kManagerPath[] = "/org/freedesktop/UDisks2/Manager";
constexpr char kManagerInterface[] = "org.freedesktop.UDisks2.Manager";
constexpr char kBlockInterface[] = "org.freedesktop.UDisks2.Block";
// NotAuthorized, NotAuthorizedCanObtain and NotAuthorizedDismissed alike.
constexpr std::string_view kNotAuthorizedPrefix = "org.freedesktop.UDisks2.Error.NotAuthorized";
// The call waits for the user at polkit's password prompt.
constexpr std::uint64_t kPromptTimeoutMicroseconds = 10ull * 60 * 1000 * 1000;

struct BusCloser {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageReleaser {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Bus = std::unique_ptr<sd_bus, BusCloser>;
using Message = std::unique_ptr<sd_bus_message, MessageReleaser>;

class BusError {
 public:
  BusError() = default;
  ~BusError() { sd_bus_error_free(&error_); }
  BusError(const BusError&) = delete;
  BusError& operator=(const BusError&) = delete;
  sd_bus_error* get() { return &error_; }

  UdisksOpenResult Result() const {
    UdisksOpenResult result;
    const std::string_view name = error_.name ? error_.name : "";
    result.detail = error_.message ? error_.message : std::string(name);
    if (name == SD_BUS_ERROR_SERVICE_UNKNOWN || name == SD_BUS_ERROR_NAME_HAS_NO_OWNER) {
      result.status = UdisksOpenResult::Status::unavailable;
    } else if (name.starts_with(kNotAuthorizedPrefix) || name == SD_BUS_ERROR_ACCESS_DENIED) {
      result.status = UdisksOpenResult::Status::refused;
    }
    return result;
  }

 private:
  // Zeroed, as SD_BUS_ERROR_NULL would be (a C compound literal).
  sd_bus_error error_{};
};

UdisksOpenResult Failure(std::string detail) {
  UdisksOpenResult result;
  result.detail = std::move(detail);
  return result;
}

}  // namespace

UdisksOpenResult OpenThroughUdisks(const std::string& devicePath) {
  sd_bus* rawBus = nullptr;
  // Honours DBUS_SYSTEM_BUS_ADDRESS, as every D-Bus client does.
  if (sd_bus_open_system(&rawBus) < 0) {
    UdisksOpenResult result;
    result.status = UdisksOpenResult::Status::unavailable;
    return result;
  }
  const Bus bus(rawBus);
  // Lets polkit ask for the password instead of refusing outright, and waits
  // for the user to answer it.
  sd_bus_set_allow_interactive_authorization(bus.get(), 1);
  sd_bus_set_method_call_timeout(bus.get(), kPromptTimeoutMicroseconds);

  // Which udisks2 object is this device? ResolveDevice({"path": <path>}, {}).
  BusError resolveError;
  sd_bus_message* raw = nullptr;
  if (sd_bus_call_method(bus.get(), kService, kManagerPath, kManagerInterface, "ResolveDevice", resolveError.get(),
                         &raw, "a{sv}a{sv}", 1, "path", "s", devicePath.c_str(), 0) < 0) {
    return resolveError.Result();
  }
  const Message devices(raw);
  const char* object = nullptr;
  if (sd_bus_message_enter_container(devices.get(), 'a', "o") < 0 ||
      sd_bus_message_read(devices.get(), "o", &object) <= 0 || !object) {
    return Failure("it knows no such device");
  }
  // `object` lives in `devices`, which outlives the second call.

  BusError openError;
  raw = nullptr;
  if (sd_bus_call_method(bus.get(), kService, object, kBlockInterface, "OpenForBackup", openError.get(), &raw,
                         "a{sv}", 0) < 0) {
    return openError.Result();
  }
  const Message reply(raw);
  int handed = -1;
  if (sd_bus_message_read(reply.get(), "h", &handed) <= 0) return Failure("its answer holds no file descriptor");
  // The reply owns the descriptor it carries: keep a copy of our own.
  UdisksOpenResult result;
  result.fd = ::fcntl(handed, F_DUPFD_CLOEXEC, 3);
  if (result.fd < 0) return Failure(std::string("cannot keep its file descriptor: ") + std::strerror(errno));
  result.status = UdisksOpenResult::Status::opened;
  return result;
}

}  // namespace salvex
