#pragma once

#include <filesystem>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace salvex::testing {

struct CommandResult {
  int status = -1;     // exit status, or -1 when it did not exit normally
  std::string output;  // stdout and stderr together
};

// Runs `command` with /bin/sh; for the image tools and the salvex program.
CommandResult RunCommand(const std::string& command);

// A tool exited with an error; the message holds the command and what it
// printed.
class ToolFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Runs a shell command; throws ToolFailure unless it exits with status 0.
std::string RunChecked(const std::string& command);

// Quotes a word for /bin/sh.
std::string ShellQuote(std::string_view word);

// `text` with every `word` in it replaced by `value`.
std::string Substitute(std::string text, std::string_view word, std::string_view value);

// True when every tool is on the PATH.
bool HaveTools(std::initializer_list<const char*> tools);

// The bytes of a file on the host; empty when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

// True when both files hold the same bytes.
bool SameFileBytes(const std::filesystem::path& a, const std::filesystem::path& b);

// The bytes a test file holds: a pattern that differs from seed to seed and
// covers every byte value.
std::string PatternBytes(std::string_view seed, std::size_t size);

// The pattern with every byte's top bit set, so that no run of it reads as
// text, a FAT directory entry or an NTFS record signature: for files that a
// scan must not take for anything else.
std::string HighBytes(std::string_view seed, std::size_t size);

// Empty when both sorted lists hold the same lines; else a "missing:" or
// "unexpected:" line for each line that one of them lacks.
std::string LineDifference(const std::vector<std::string>& actual, const std::vector<std::string>& expected);

// A fresh directory under $TMPDIR, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Skips the current test unless the tools are installed (CI installs them).
#define SALVEX_REQUIRE_TOOLS(...)                                          \
  do {                                                                     \
    if (!::salvex::testing::HaveTools({__VA_ARGS__})) {                    \
      GTEST_SKIP() << "needs " #__VA_ARGS__ " (run scripts/setup.sh)";     \
    }                                                                      \
  } while (false)

}  // namespace salvex::testing
