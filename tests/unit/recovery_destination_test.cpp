// The destination check for a block-device source, against a sysfs tree made
// in a temporary directory: /sys/dev/block/MAJ:MIN links lead to the disk's
// folder, and a partition's folder lies inside its disk's.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
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

TEST(BlockDeviceDestination, TheDeviceItselfIsRefusedWithoutSysfs) {
  const auto source = SomeBlockDevice();
  if (!source) GTEST_SKIP() << "no block device node in /dev";
  testing::TempDir emptySys;
  EXPECT_EQ(CheckDestination(source->first, source->second, emptySys.Path().string()),
            DestinationRisk::onScannedDisk);
}

}  // namespace
}  // namespace salvex
