#pragma once

#include "wizard/command_view.h"

class QWidget;

namespace salvex::gui {

// The box at the end of a recovery run: its account, every file named in
// the details, "OK", "&Open Folder" and, when the run wrote its report,
// "Open &Report". Which of the two was asked for, if any.
wizard::SummaryChoice ShowSummaryBox(QWidget* parent, const wizard::SummaryText& summary);

}  // namespace salvex::gui
