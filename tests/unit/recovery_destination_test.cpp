// The destination check for a block-device source, against a sysfs tree made
// in a temporary directory: /sys/dev/block/MAJ:MIN links lead to the disk's
// folder, and a partition's folder lies inside its disk's.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/destination_check.h"
#include "support/tool_runner.h"

namespace salvex {
namespace {

namespace fs = std::filesystem;

// Any block device node of this machine: only its number matters here.
std::optional<std::pair<std::string, dev_t>> SomeBlockDevice() {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/dev", error)) {
    struct stat info {};
    if (::lstat(entry.path().c_str(), &info) == 0 && S_ISBLK(info.st_mode)) {
      return std::make_pair(entry.path().string(), info.st_rdev);
    }
  }
  return std::nullopt;
}

std::string Number(dev_t device) { return std::to_string(major(device)) + ":" + std::to_string(minor(device)); }

struct DestinationCase {
  const char* name;
  const char* sysfsFolder;  // where the destination's device lies; "" for a device sysfs does not know
  DestinationRisk risk;
};

class BlockDeviceDestinationTest : public ::testing::TestWithParam<DestinationCase> {};

TEST_P(BlockDeviceDestinationTest, OnlyTheDiskAndItsPartitionsAreRefused) {
  const auto source = SomeBlockDevice();
  if (!source) GTEST_SKIP() << "no block device node in /dev";
  const auto& [sourcePath, sourceDevice] = *source;
  testing::TempDir sys;
  const fs::path devices = sys / "devices/virtual/block";
  for (const char* folder : {"scanned", "scanned/scanned1", "scanned1x", "other"}) {
    fs::create_directories(devices / folder);
  }
  fs::create_directories(sys / "dev/block");
  const auto link = [&](dev_t device, const std::string& folder) {
    fs::create_directory_symlink("../../devices/virtual/block/" + folder, sys / "dev/block" / Number(device));
  };
  // Numbers well away from the source's, so none of them is the source itself.
  const dev_t destination = makedev(major(sourceDevice) + 1000, 7);
  link(sourceDevice, "scanned");
  if (*GetParam().sysfsFolder) link(destination, GetParam().sysfsFolder);

  EXPECT_EQ(CheckDestination(sourcePath, destination, sys.Path().string()), GetParam().risk);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BlockDeviceDestinationTest,
    ::testing::Values(DestinationCase{"APartitionOfTheDisk", "scanned/scanned1", DestinationRisk::onScannedDisk},
                      DestinationCase{"ADiskWhoseNameStartsLikeIt", "scanned1x", DestinationRisk::none},
                      DestinationCase{"AnotherDisk", "other", DestinationRisk::none},
                      DestinationCase{"UnknownToSysfs", "", DestinationRisk::none}),
    [](const ::testing::TestParamInfo<DestinationCase>& param) { return std::string(param.param.name); });

// A sysfs tree with the source disk "scanned" (partition "scanned1") and
// "other", and the destination's number linked to `destinationFolder`.
class StackedDestinationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto found = SomeBlockDevice();
    if (!found) GTEST_SKIP() << "no block device node in /dev";
    source = *found;
    for (const char* folder : {"scanned/scanned1", "other", "dm-0/slaves", "dm-1/slaves", "dm-2/slaves"}) {
      fs::create_directories(sys / "devices/virtual/block" / folder);
    }
    fs::create_directories(sys / "dev/block");
    Link(source.second, "scanned");
  }

  void Link(dev_t device, const std::string& folder) {
    fs::create_directory_symlink("../../devices/virtual/block/" + folder, sys / "dev/block" / Number(device));
  }
  // `upper` is built on `lower`, as device-mapper records it.
  void Stack(const std::string& upper, const std::string& lower) {
    fs::create_directory_symlink("../../" + lower, sys / "devices/virtual/block" / upper / "slaves" /
                                                       fs::path(lower).filename());
  }
  DestinationRisk Check(dev_t device, const std::string& mountInfo = "/nonexistent") {
    return CheckDestination(source.first, device, sys.Path().string(), mountInfo);
  }

  std::pair<std::string, dev_t> source;
  testing::TempDir sys;
  const dev_t destination = makedev(1234, 5);
};

TEST_F(StackedDestinationTest, AVolumeBuiltOnAPartitionOfTheDiskIsRefused) {
  // LVM on LUKS on scanned1: dm-1 on dm-0 on the partition.
  Stack("dm-0", "scanned/scanned1");
  Stack("dm-1", "dm-0");
  Link(destination, "dm-1");
  EXPECT_EQ(Check(destination), DestinationRisk::onScannedDisk);
}

TEST_F(StackedDestinationTest, AVolumeBuiltOnAnotherDiskIsAllowed) {
  Stack("dm-2", "other");
  Link(destination, "dm-2");
  EXPECT_EQ(Check(destination), DestinationRisk::none);
}

TEST_F(StackedDestinationTest, ALoopOfSlavesEnds) {
  Stack("dm-0", "dm-1");
  Stack("dm-1", "dm-0");
  Link(destination, "dm-0");
  EXPECT_EQ(Check(destination), DestinationRisk::none);
}

TEST_F(StackedDestinationTest, AFileSystemWithItsOwnDeviceNumberIsTracedToItsMount) {
  // btrfs reports an anonymous 0:N device; mountinfo names what it was
  // mounted from: here the disk being recovered.
  const dev_t anonymous = makedev(0, 57);
  testing::TempDir proc;
  const fs::path mountInfo = proc / "mountinfo";
  std::ofstream(mountInfo) << "22 1 0:21 / /proc rw - proc proc rw\n"
                           << "95 1 0:57 / /home rw,relatime shared:40 - btrfs " << source.first << " rw,space_cache\n";
  EXPECT_EQ(Check(anonymous, mountInfo.string()), DestinationRisk::onScannedDisk);
  EXPECT_EQ(Check(makedev(0, 21), mountInfo.string()), DestinationRisk::none) << "proc is mounted from no disk";
}

TEST(BlockDeviceDestination, TheDeviceItselfIsRefusedWithoutSysfs) {
  const auto source = SomeBlockDevice();
  if (!source) GTEST_SKIP() << "no block device node in /dev";
  testing::TempDir emptySys;
  EXPECT_EQ(CheckDestination(source->first, source->second, emptySys.Path().string()),
            DestinationRisk::onScannedDisk);
}

}  // namespace
}  // namespace salvex
