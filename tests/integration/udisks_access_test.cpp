// A disk the user may not open, read through udisks2: a private bus with a
// stand-in udisks2 (tests/support/fake_udisks) that hands out a descriptor
// of an image only root may read. The test runs as root and meets the
// permission error a user meets by becoming nobody: its effective ids for
// the session and the wizard, setpriv for the salvex program.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "platform/udisks_open.h"
#include "session/captions.h"
#include "session/disk_session.h"
#include "session/worker.h"
#include "support/fake_udisks_bus.h"
#include "support/fake_wizard_view.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"
#include "wizard/wizard_controller.h"

namespace salvex::testing {
namespace {

using Service = FakeUdisksBus::Service;

const std::string kDenied = ": Permission denied (run as root or join the disk group)";
const std::string kRefused = ": Permission denied, and udisks2 refused access (run as root or join the disk group)";

// This process's effective ids are nobody's while it lives.
class AsNobody {
 public:
  AsNobody() {
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody && ::setegid(nobody->pw_gid) == 0 && ::seteuid(nobody->pw_uid) == 0) return;
    throw std::runtime_error("cannot become nobody");
  }
  ~AsNobody() {
    if (::seteuid(0) != 0 || ::setegid(0) != 0) std::abort();
  }
  AsNobody(const AsNobody&) = delete;
  AsNobody& operator=(const AsNobody&) = delete;
};

class UdisksAccess : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to make an image only root may read";
    SALVEX_REQUIRE_TOOLS("dbus-daemon", "setpriv", "sfdisk", "mkfs.fat");
    // nobody reaches the bus's socket in here, but may not read the images.
    std::filesystem::permissions(dir_.Path(), std::filesystem::perms(0755));
    DiskPlan plan;
    plan.totalSectors = 40960;
    plan.partitions = {{VolumeKind::fat16, false, 2048, 32768, 0x06, 4, "UDISKS"}};
    BuildDisk(image_, plan);
    std::ofstream(unknown_, std::ios::binary) << std::string(4096, '\0');
    ASSERT_EQ(::chmod(image_.c_str(), 0600), 0);
    ASSERT_EQ(::chmod(unknown_.c_str(), 0600), 0);
    bus_ = std::make_unique<FakeUdisksBus>(dir_.Path(), image_);
    ASSERT_TRUE(bus_->Running()) << "dbus-daemon did not start";
  }

  void Serve(Service service) {
    bus_->Serve(service);
    ASSERT_TRUE(bus_->Running()) << "the fake udisks2 did not start";
  }

  TempDir dir_;
  std::filesystem::path image_ = dir_ / "disk.img";
  std::filesystem::path unknown_ = dir_ / "unknown.img";  // a file the service does not know
  std::unique_ptr<FakeUdisksBus> bus_;
};

TEST_F(UdisksAccess, HandsOutADescriptorThatOnlyReads) {
  Serve(Service::grant);
  const UdisksOpenResult opened = OpenThroughUdisks(image_.string());
  ASSERT_EQ(opened.status, UdisksOpenResult::Status::opened) << opened.detail;
  EXPECT_EQ(::fcntl(opened.fd, F_GETFL) & O_ACCMODE, O_RDONLY);
  EXPECT_EQ(::write(opened.fd, "x", 1), -1);
  EXPECT_EQ(errno, EBADF);
  std::uint8_t signature[2] = {};
  EXPECT_EQ(::pread(opened.fd, signature, 2, 510), 2);
  EXPECT_EQ(signature[0], 0x55);
  EXPECT_EQ(signature[1], 0xAA);
  ::close(opened.fd);
}

TEST_F(UdisksAccess, SessionOpensThroughUdisksOrSaysWhy) {
  const struct {
    const char* name;
    bool askUdisks;
    Service service;
    bool busGone;
    std::filesystem::path path;
    std::string error;  // the whole message after the path; empty: opened
  } cases[] = {
      {"granted", true, Service::grant, false, image_, ""},
      {"not asked", false, Service::grant, false, image_, kDenied},
      {"refused", true, Service::refuse, false, image_, kRefused},
      {"writable descriptor", true, Service::writable, false, image_,
       ": the descriptor handed over could write, and the disk must only be read"},
      {"no udisks2 on the bus", true, Service::none, false, image_,
       ": Permission denied, and udisks2 is not there to ask for access (run as root or join the disk group)"},
      {"no system bus", true, Service::none, true, image_,
       ": Permission denied, and udisks2 is not there to ask for access (run as root or join the disk group)"},
      {"device udisks2 does not know", true, Service::grant, false, unknown_,
       ": Permission denied, and udisks2 could not open it: it knows no such device (run as root or join the disk group)"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    Serve(test.service);
    if (test.busGone) ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (dir_ / "no.socket").string()).c_str(), 1);
    Session session;
    session.diskAccess.askUdisks = test.askUdisks;
    std::string error;
    {
      AsNobody nobody;
      error = OpenSource(session, test.path.string()).error;
      if (error.empty()) {
        EXPECT_EQ(ReadPartitionTables(session), 1u);
      }
    }
    if (test.busGone) ::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus_->Address().c_str(), 1);
    if (test.error.empty()) {
      EXPECT_EQ(error, "");
      ASSERT_TRUE(session.reader.IsOpen());
      EXPECT_EQ(session.reader.Source()->SizeBytes(), std::filesystem::file_size(image_));
    } else {
      EXPECT_EQ(error, "cannot open " + test.path.string() + test.error);
      EXPECT_FALSE(session.reader.IsOpen());
    }
  }
}

TEST_F(UdisksAccess, CliAsksOnlyWithTheOption) {
  const std::string nobody = "--reuid=nobody --regid=nogroup --clear-groups " + ShellQuote(SALVEX_BINARY) + " ";
  const std::string image = ShellQuote(image_.string());
  const struct {
    const char* name;
    Service service;
    std::string arguments;
    int status;
    std::string out;  // a part of stdout
    std::string err;  // all of stderr
  } cases[] = {
      {"partitions, granted", Service::grant, "partitions --udisks " + image, 0, "FAT16", ""},
      {"scan, granted", Service::grant, "scan " + image + " --partition 1 --udisks", 0, "", ""},
      {"refused", Service::refuse, "partitions " + image + " --udisks", 1, "",
       "salvex: error: cannot open " + image_.string() + kRefused + "\n"},
      {"without --udisks", Service::grant, "partitions " + image, 1, "",
       "salvex: error: cannot open " + image_.string() + kDenied + "\n"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    Serve(test.service);
    const SalvexRun run = RunSalvexReading("setpriv", image_, nobody + test.arguments, dir_.Path());
    EXPECT_EQ(run.status, test.status) << run.err;
    EXPECT_NE(run.out.find(test.out), std::string::npos) << run.out;
    EXPECT_EQ(run.err, test.err);
  }
}

TEST_F(UdisksAccess, WizardOpensTheDiskOrStaysInTheDiskStep) {
  for (const Service service : {Service::grant, Service::refuse}) {
    SCOPED_TRACE(service == Service::grant ? "granted" : "refused");
    Serve(service);
    Session session;
    // As salvex-gui sets it.
    session.diskAccess.askUdisks = true;
    FakeWizardView view;
    SynchronousWorker worker;
    FakeShell shell;
    wizard::WizardController controller(session, view, worker, shell,
                                        wizard::WizardController::Options{{image_.string()}, "", "", {}});
    controller.StartUp();
    const auto& nodes = view.trees.at(wizard::TreeKind::disks)->Children(FolderTreeModel::kRoot);
    ASSERT_FALSE(nodes.empty());
    controller.OnTreeClick(nodes.back(), wizard::TreeHit::onItem);
    ASSERT_EQ(session.disks.disks[session.scan.diskIndex].devicePath, image_.string());
    const std::size_t boxesBefore = view.boxes.size();
    {
      AsNobody nobody;
      controller.OnNext();
    }
    if (service == Service::grant) {
      EXPECT_EQ(controller.StepNumber(), 1);
      EXPECT_EQ(view.TreeNodes(wizard::TreeKind::partitions), (std::vector<std::string>{"Partition 1 - FAT16"}));
      EXPECT_EQ(view.boxes.size(), boxesBefore);
    } else {
      EXPECT_EQ(controller.StepNumber(), 0);
      ASSERT_EQ(view.boxes.size(), boxesBefore + 1);
      EXPECT_EQ(view.boxes.back().kind, NoticeKind::error);
      EXPECT_EQ(view.LastBox(), DiskCaption(session.scan.diskIndex) + ": cannot open " + image_.string() + kRefused);
      EXPECT_TRUE(view.Visible(wizard::Control::next));
    }
  }
}

}  // namespace
}  // namespace salvex::testing
