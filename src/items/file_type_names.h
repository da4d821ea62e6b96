#pragma once

#include <string>
#include <string_view>

namespace salvex {

// The type text of a file, found from its name's extension alone (the file
// itself is never read): "Text Document" for a.txt. An unknown extension reads
// "XYZ File"; a name without one reads "File".
std::string FileTypeName(std::string_view fileName);

}  // namespace salvex
