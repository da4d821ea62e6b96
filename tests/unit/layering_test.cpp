// Every folder of src/ is a layer that may include only the layers below it:
// this reads each #include of the sources and names the file and line of
// any that reaches up, or out of the engine into Qt.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>

namespace {

// The layers each folder may include directly; what they may include is
// allowed too.
const std::map<std::string, std::set<std::string>>& AllowedLayers() {
  static const std::map<std::string, std::set<std::string>> allowed = {
      {"common", {}},
      {"platform", {"common"}},
      {"disk", {"platform"}},
      {"imaging", {"disk", "platform"}},
      {"volume", {"disk"}},
      {"partition", {"disk", "volume"}},
      {"items", {"platform"}},
      {"fat", {"volume", "items", "disk"}},
      {"ntfs", {"volume", "items", "disk"}},
      {"exfat", {"fat", "volume", "items", "disk"}},
      {"deepscan", {"fat", "ntfs", "exfat", "volume", "items"}},
      {"search", {"items"}},
      {"content", {"common"}},
      {"carve", {"content", "fat", "exfat", "volume", "items", "disk"}},
      {"recovery", {"fat", "ntfs", "exfat", "items", "platform"}},
      {"snapshot", {"deepscan", "exfat", "items", "volume"}},
      {"session", {"partition", "deepscan", "search", "recovery", "snapshot", "imaging", "content", "carve"}},
      {"wizard", {"session"}},
      {"cli", {"session"}},
      {"gui", {"wizard", "session"}},
  };
  return allowed;
}

// The layers a folder may reach, directly or through the layers below it.
std::set<std::string> Reachable(const std::string& layer) {
  std::set<std::string> reached;
  std::vector<std::string> pending{layer};
  while (!pending.empty()) {
    const std::string next = pending.back();
    pending.pop_back();
    const auto found = AllowedLayers().find(next);
    if (found == AllowedLayers().end()) continue;
    for (const std::string& below : found->second) {
      if (reached.insert(below).second) pending.push_back(below);
    }
  }
  return reached;
}

bool IsQtHeader(const std::string& header) {
  return header.rfind("Q", 0) == 0 || header.rfind("qt", 0) == 0;
}

TEST(Layering, NoFolderIncludesAFolderAboveIt) {
  const std::filesystem::path src = std::filesystem::path(SALVEX_SOURCE_DIR) / "src";
  const std::regex local(R"re(^\s*#\s*include\s+"([a-z_]+)/[^"]+")re");
  const std::regex system(R"re(^\s*#\s*include\s+<([^>/]+))re");
  std::string violations;
  std::size_t filesRead = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(src)) {
    const std::string extension = entry.path().extension().string();
    if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp")) continue;
    const std::string layer = entry.path().lexically_relative(src).begin()->string();
    if (!AllowedLayers().contains(layer)) {
      violations += entry.path().string() + ": folder " + layer + " is not a known layer\n";
      continue;
    }
    const std::set<std::string> reachable = Reachable(layer);
    std::ifstream in(entry.path());
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      std::smatch match;
      const std::string where = entry.path().lexically_relative(src).string() + ":" + std::to_string(number);
      if (std::regex_search(line, match, local) && match[1] != layer && !reachable.contains(match[1])) {
        violations += where + ": " + layer + " includes " + match[1].str() + "\n";
      }
      if (layer != "gui" && std::regex_search(line, match, system) && IsQtHeader(match[1])) {
        violations += where + ": Qt header in " + layer + "\n";
      }
    }
    ++filesRead;
  }
  EXPECT_GT(filesRead, 100u);
  EXPECT_EQ(violations, "");
}

}  // namespace
