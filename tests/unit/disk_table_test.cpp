#include "disk/disk_table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "session/captions.h"
#include "support/tool_runner.h"
#include "wizard/step_panel_texts.h"

namespace salvex {
namespace {

namespace fs = std::filesystem;

// A stand-in for /sys/block with a few kinds of devices.
class FakeSysBlock {
 public:
  void AddDisk(const std::string& name, std::uint64_t sizeSectors, const std::string& model, bool usb = false) {
    const fs::path device = usb ? dir_.Path() / "devices" / "usb1" / name : dir_.Path() / "devices" / "pci" / name;
    fs::create_directories(device / "device");
    Write(device / "size", std::to_string(sizeSectors) + "\n");
    Write(device / "device" / "model", model + "\n");
    fs::create_directories(Root());
    fs::create_directory_symlink(device, Root() / name);
  }

  void AddLoop(const std::string& name, std::uint64_t sizeSectors, bool backed) {
    AddDisk(name, sizeSectors, "");
    if (backed) {
      fs::create_directories(Root() / name / "loop");
      Write(Root() / name / "loop" / "backing_file", "/images/disk.img\n");
    }
  }

  fs::path Root() const { return dir_.Path() / "block"; }

 private:
  static void Write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

  testing::TempDir dir_;
};

TEST(BlockDeviceCatalogue, ListsWholeDisksWithModelAndBus) {
  FakeSysBlock sys;
  sys.AddDisk("sdb", 1000, "USB Stick       ", true);
  sys.AddDisk("sda", 2000, "ST1000DM003     ");
  sys.AddDisk("nvme0n1", 3000, "Fast SSD");
  sys.AddDisk("mmcblk0", 0, "SD");
  sys.AddDisk("mmcblk0boot0", 100, "SD");
  sys.AddDisk("dm-0", 100, "mapper");
  sys.AddLoop("loop0", 500, false);
  sys.AddLoop("loop1", 600, true);
  const std::vector<BlockDeviceEntry> devices = ListBlockDevices(sys.Root().string(), "/nonexistent");
  std::vector<std::string> paths;
  for (const BlockDeviceEntry& device : devices) paths.push_back(device.devicePath);
  EXPECT_EQ(paths, (std::vector<std::string>{"/nonexistent/sda", "/nonexistent/sdb", "/nonexistent/loop1",
                                             "/nonexistent/mmcblk0", "/nonexistent/nvme0n1"}));
  EXPECT_EQ(devices[0].model, "ST1000DM003     ") << "the device's padding is kept";
  EXPECT_EQ(devices[0].sizeSectors, 2000u);
  EXPECT_FALSE(devices[0].isUsb);
  EXPECT_TRUE(devices[1].isUsb);
  EXPECT_FALSE(devices[0].geometry.has_value());
}

TEST(EnumerateDisks, ListsDisksWithMediaFirstThenImages) {
  std::vector<BlockDeviceEntry> devices{
      {"/dev/sdc", "Card Reader", false, 0, std::nullopt},
      {"/dev/sda", "WDC WD10  ", false, 16383ull * 16 * 63, DriveGeometry{16, 63}},
      {"/dev/sdb", "Flash Disk", true, 2'000'000, std::nullopt},
  };
  const DiskTable table = EnumerateDisks(devices, {{"/images/a.img", 10'000'000}});
  ASSERT_EQ(table.diskCount, 3u);
  ASSERT_EQ(table.disks.size(), 4u);
  EXPECT_EQ(table.disks[0].devicePath, "/dev/sda");
  EXPECT_EQ(table.disks[1].model, "USB Device");
  EXPECT_EQ(table.disks[1].heads, 255u) << "no geometry from the device: 255 heads of 63 sectors";
  EXPECT_EQ(table.disks[1].cylinders, 2'000'000u / 16065);
  EXPECT_EQ(table.disks[2].devicePath, "/images/a.img");
  EXPECT_EQ(table.disks[3].model, kNoMediaModel);
  EXPECT_EQ(DiskCaption(2), "Storage Device2");

  const PanelRows rows = DiskPanelRows(table.disks[0]);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0].value, "WDC WD10  ");
  EXPECT_EQ(rows[1].value, "8063 MB ( Approx )");
  EXPECT_EQ(rows[2].value, "16383");
  EXPECT_EQ(rows[3].value, "16");
  EXPECT_EQ(rows[4].value, "63");
}

// The whole-disk range reaches the disk's last sector, past its last whole
// cylinder, and past sector 2^32 - 1 on a disk over 2 TiB.
TEST(EnumerateDisks, TotalSectorsAreTheWholeDiskSize) {
  const struct {
    std::uint64_t sizeSectors;
    std::uint64_t totalSectors;
    const char* capacity;
  } cases[] = {
      {655360, 655360, "320 MB ( Approx )"},           // 40 whole cylinders and 12,760 sectors
      {16777216, 16777216, "8192 MB ( Approx )"},
      {3ull << 31, 3ull << 31, "3145728 MB ( Approx )"},  // 3 TiB
  };
  for (const auto& c : cases) {
    const DiskTable table = EnumerateDisks({{"/dev/sda", "Big", false, c.sizeSectors, DriveGeometry{255, 63}}}, {});
    const DiskInfo& disk = table.disks[0];
    EXPECT_EQ(disk.totalSectors, c.totalSectors) << c.sizeSectors;
    EXPECT_EQ(disk.cylinders, c.sizeSectors / (255 * 63)) << c.sizeSectors;
    EXPECT_EQ(DiskPanelRows(disk)[1].value, c.capacity) << c.sizeSectors;
    EXPECT_EQ(wizard::DiskToolTip(disk), "/dev/sda\nBig\n" + DiskPanelRows(disk)[1].value.substr(0, DiskPanelRows(disk)[1].value.find(" (")))
        << c.sizeSectors;
  }
}

// A disk that reports no geometry is given one by its size: a floppy
// image its drive's, a card smaller than a 255-head cylinder 16 heads, so
// that neither shows 0 cylinders.
TEST(EnumerateDisks, GeometryWithoutTheDevicesIsTheFloppysOrFitsTheSize) {
  const struct {
    std::uint64_t sectors;
    std::uint32_t cylinders, heads, sectorsPerTrack;
  } cases[] = {
      {2880, 80, 2, 18},          // 1.44 MB
      {1440, 80, 2, 9},           // 720 KB
      {2400, 80, 2, 15},          // 1.2 MB
      {8192, 8, 16, 63},          // a 4 MB card
      {2'000'000, 124, 255, 63},  // as before
  };
  for (const auto& c : cases) {
    const DiskTable table = EnumerateDisks({}, {{"/images/x.img", c.sectors * 512}});
    const DiskInfo& disk = table.disks.at(0);
    EXPECT_EQ(disk.cylinders, c.cylinders) << c.sectors;
    EXPECT_EQ(disk.heads, c.heads) << c.sectors;
    EXPECT_EQ(disk.sectorsPerTrack, c.sectorsPerTrack) << c.sectors;
    EXPECT_TRUE(disk.isImage);
  }
  const DiskTable usb = EnumerateDisks({{"/dev/sdb", "Flash Disk  ", true, 4096, std::nullopt}}, {});
  EXPECT_EQ(usb.disks[0].model, "USB Device");
  EXPECT_EQ(usb.disks[0].product, "Flash Disk  ") << "kept for the node's caption";
  EXPECT_TRUE(usb.disks[0].usb);
}

TEST(EnumerateDisks, KeepsAtMostThirtyTwoDisks) {
  std::vector<DiskImageEntry> images(40, DiskImageEntry{"/x.img", 1 << 20});
  EXPECT_EQ(EnumerateDisks({}, images).disks.size(), kMaxDisks);
}

}  // namespace
}  // namespace salvex
