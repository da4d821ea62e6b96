#include "platform/temp_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace salvex {

std::string MakePrivateFolder(const std::string& parent, std::string& error) {
  std::string base = parent;
  if (base.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  }
  std::string pattern = base + "/salvex-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  // mkdtemp makes the folder with mode 0700.
  if (::mkdtemp(buffer.data()) == nullptr) {
    error = "cannot create a temporary folder in " + base + ": " + std::strerror(errno);
    return {};
  }
  return buffer.data();
}

void RemoveFolderTree(const std::string& path) {
  if (path.empty()) return;
  std::error_code ignored;
  // remove_all does not follow symbolic links; it removes the links.
  std::filesystem::remove_all(path, ignored);
}

}  // namespace salvex
