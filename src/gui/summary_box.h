#pragma once

#include "wizard/command_view.h"

class QWidget;

namespace salvex::gui {

// The box at the end of a recovery run: its account, every file named in
// the details, "OK" and "&Open Folder". True when the folder was asked for.
bool ShowSummaryBox(QWidget* parent, const wizard::SummaryText& summary);

}  // namespace salvex::gui
