#pragma once

#include <filesystem>
#include <initializer_list>
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

// Quotes a word for /bin/sh.
std::string ShellQuote(std::string_view word);

// `text` with every `word` in it replaced by `value`.
std::string Substitute(std::string text, std::string_view word, std::string_view value);

// True when every tool is on the PATH.
bool HaveTools(std::initializer_list<const char*> tools);

// The bytes of a file on the host; empty when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

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
