#include "wizard/tree_captions.h"

namespace salvex::wizard {

std::string PartitionsRootCaption(std::uint32_t diskNumber) { return "Storage Device " + std::to_string(diskNumber); }

}  // namespace salvex::wizard
