#pragma once

#include <cstdint>

#include "platform/host_folder.h"
#include "platform/ui_port.h"
#include "recovery/extraction.h"
#include "session/session.h"

namespace salvex {

// Copies file `position` of the store's FAT or NTFS half (as the items are)
// into `folder` under its own name, for the desktop to open it; no filter,
// setting or duplicate rule applies. Runs on the caller's thread.
ExtractionResult ExtractForOpening(Session& session, std::uint32_t position, const HostFolder& folder, UiPort& ui);

}  // namespace salvex
