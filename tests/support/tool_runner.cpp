#include "support/tool_runner.h"

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

std::string RunChecked(const std::string& command) {
  const CommandResult result = RunCommand(command);
  if (result.status != 0) {
    throw ToolFailure("`" + command + "` exited with " + std::to_string(result.status) + ":\n" + result.output);
  }
  return result.output;
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

bool SameFileBytes(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code error;
  if (std::filesystem::file_size(a, error) != std::filesystem::file_size(b, error) || error) return false;
  std::ifstream first(a, std::ios::binary);
  std::ifstream second(b, std::ios::binary);
  std::vector<char> one(1 << 20);
  std::vector<char> two(1 << 20);
  while (first && second) {
    first.read(one.data(), static_cast<std::streamsize>(one.size()));
    second.read(two.data(), static_cast<std::streamsize>(two.size()));
    if (first.gcount() != second.gcount()) return false;
    if (std::memcmp(one.data(), two.data(), static_cast<std::size_t>(first.gcount())) != 0) return false;
  }
  return true;
}

std::string PatternBytes(std::string_view seed, std::size_t size) {
  std::uint64_t state = 14695981039346656037ull;
  for (const char c : seed) state = (state ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    byte = static_cast<char>(state >> 32);
  }
  return bytes;
}

std::string HighBytes(std::string_view seed, std::size_t size) {
  std::string bytes = PatternBytes(seed, size);
  for (char& byte : bytes) byte = static_cast<char>(byte | 0x80);
  return bytes;
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
