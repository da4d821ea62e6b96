#pragma once

#include <string>
#include <vector>

#include "wizard/wizard_view.h"

namespace salvex::wizard {

// The file-type group as the window first shows it: every family a search
// by content knows, in the order it tries them, all checked, and only free
// space searched.
FileTypeChoices DefaultFileTypeChoices();

// The families checked, by the names a search request takes.
std::vector<std::string> CheckedFileTypes(const FileTypeChoices& choices);

// Said when Next finds no type checked.
inline constexpr const char* kNoFileTypeMessage = "Tick at least one file type to look for.";

}  // namespace salvex::wizard
