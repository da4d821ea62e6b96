#include "support/tool_runner.h"

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace salvex::testing {

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> chunk{};
  std::size_t got;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) result.output.append(chunk.data(), got);
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string ShellQuote(std::string_view word) {
  std::string quoted = "'";
  for (const char c : word) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string Substitute(std::string text, std::string_view word, std::string_view value) {
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + value.size())) {
    text.replace(at, word.size(), value);
  }
  return text;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string LineDifference(const std::vector<std::string>& actual, const std::vector<std::string>& expected) {
  std::vector<std::string> missing;
  std::vector<std::string> unexpected;
  std::set_difference(expected.begin(), expected.end(), actual.begin(), actual.end(), std::back_inserter(missing));
  std::set_difference(actual.begin(), actual.end(), expected.begin(), expected.end(), std::back_inserter(unexpected));
  std::string report;
  for (const std::string& line : missing) report += "missing:    " + line + "\n";
  for (const std::string& line : unexpected) report += "unexpected: " + line + "\n";
  return report;
}

bool HaveTools(std::initializer_list<const char*> tools) {
  for (const char* tool : tools) {
    if (RunCommand(std::string("command -v ") + tool + " >/dev/null").status != 0) return false;
  }
  return true;
}

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/salvex-test-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary directory");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace salvex::testing
