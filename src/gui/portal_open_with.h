#pragma once

#include <QString>

namespace salvex::gui {

// Asks the desktop portal (org.freedesktop.portal.OpenURI) to let the user
// choose the program that opens `path`. False when no portal answers on
// the session bus, or it refuses.
bool AskPortalToOpenWith(const QString& path);

}  // namespace salvex::gui
