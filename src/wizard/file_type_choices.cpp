#include "wizard/file_type_choices.h"

#include "carve/carve_format.h"

namespace salvex::wizard {

FileTypeChoices DefaultFileTypeChoices() {
  FileTypeChoices choices;
  for (const CarveFormat& format : CarveFormats()) {
    std::string extensions = "." + std::string(format.family);
    for (const std::string_view alias : format.aliases) extensions += ", ." + std::string(alias);
    choices.types.push_back({std::string(format.family), "Looks for " + extensions + " files by their content", true});
  }
  return choices;
}

std::vector<std::string> CheckedFileTypes(const FileTypeChoices& choices) {
  std::vector<std::string> names;
  for (const FileTypeChoice& type : choices.types) {
    if (type.checked) names.push_back(type.name);
  }
  return names;
}

}  // namespace salvex::wizard
