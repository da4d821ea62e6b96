// A descriptor opened elsewhere (udisks2 hands one out) is used only when it
// cannot write and holds a disk: the same checks as a path opened here.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>

#include "platform/file_disk_source.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

TEST(FileDiskSourceFromDescriptor, TakesOnlyAReadOnlyDisk) {
  TempDir dir;
  const auto image = dir / "disk.img";
  std::ofstream(image, std::ios::binary) << std::string(4096, 'x');
  const auto tiny = dir / "tiny.img";
  std::ofstream(tiny, std::ios::binary) << std::string(511, 'x');
  const auto fifo = dir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    const char* name;
    std::filesystem::path path;
    int flags;
    std::string error;  // empty: taken
  } cases[] = {
      {"read-only image", image, O_RDONLY, ""},
      {"writable image", image, O_RDWR, "could write"},
      {"write-only image", image, O_WRONLY, "could write"},
      {"smaller than a sector", tiny, O_RDONLY, "smaller than one sector"},
      {"a FIFO", fifo, O_RDONLY | O_NONBLOCK, "is not a disk image or a block device"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const int fd = ::open(test.path.c_str(), test.flags | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    std::string error;
    const auto source = FileDiskSource::FromDescriptor(fd, test.path.string(), error);
    if (test.error.empty()) {
      ASSERT_NE(source, nullptr) << error;
      EXPECT_EQ(source->SizeBytes(), 4096u);
      EXPECT_EQ(source->Name(), test.path.string());
      std::uint8_t byte = 0;
      EXPECT_TRUE(source->ReadAt(4095, {&byte, 1}));
      EXPECT_EQ(byte, 'x');
    } else {
      EXPECT_EQ(source, nullptr);
      EXPECT_NE(error.find(test.path.string()), std::string::npos) << error;
      EXPECT_NE(error.find(test.error), std::string::npos) << error;
      // Refused means closed: the descriptor is not left open.
      EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
    }
  }
}

}  // namespace
}  // namespace salvex::testing
