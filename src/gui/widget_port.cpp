#include "gui/widget_port.h"

#include <QPushButton>

#include "gui/info_panel.h"
#include "gui/message_boxes.h"
#include "gui/progress_row.h"
#include "gui/status_line.h"
#include "gui/wizard_buttons.h"

namespace salvex::gui {

WidgetPort::WidgetPort(QWidget& window, InfoPanel& panel, ProgressRow& progress, WizardButtons& buttons,
                       StatusLine& status)
    : window_(window), panel_(panel), progress_(progress), buttons_(buttons), status_(status) {}

void WidgetPort::SetPanelValue(std::string_view label, std::string_view value) {
  panel_.SetValue(label, value);
  if (label == panel::kCurrentSector) {
    progress_.OnCurrentSector(value);
    status_.SetSweepRate(progress_.RateText());
  }
  if (label == panel::kFilesFound) status_.SetFilesFound(value);
}

void WidgetPort::SetStatus(std::string_view text) {
  panel_.SetStatus(text);
  status_.SetPhase(text);
}

void WidgetPort::ShowProgress(bool visible) { progress_.ShowBar(visible); }

void WidgetPort::SetProgress(int percent) { progress_.SetPercent(percent); }

void WidgetPort::SetStopVisible(bool visible) {
  QPushButton* stop = buttons_.Button(wizard::Control::stop);
  stop->setVisible(visible);
  stop->setEnabled(visible);
  progress_.SetStopShown(visible);
  status_.SetScanning(visible);
}

void WidgetPort::Notice(NoticeKind kind, std::string_view text) { ShowNoticeBox(&window_, kind, text); }

bool WidgetPort::Confirm(std::string_view text) { return AskYesNo(&window_, text); }

}  // namespace salvex::gui
