#pragma once

#include "platform/ui_port.h"

class QWidget;

namespace salvex::gui {

class InfoPanel;
class ProgressRow;
class StatusLine;
class WizardButtons;

// What the engines report, drawn on the window's widgets; the window's
// thread only (UiPortRelay brings workers' calls here).
class WidgetPort final : public UiPort {
 public:
  WidgetPort(QWidget& window, InfoPanel& panel, ProgressRow& progress, WizardButtons& buttons, StatusLine& status);

  void SetPanelValue(std::string_view label, std::string_view value) override;
  void SetStatus(std::string_view text) override;
  void ShowProgress(bool visible) override;
  void SetProgress(int percent) override;
  void SetStopVisible(bool visible) override;
  void Notice(NoticeKind kind, std::string_view text) override;
  bool Confirm(std::string_view text) override;

 private:
  QWidget& window_;
  InfoPanel& panel_;
  ProgressRow& progress_;
  WizardButtons& buttons_;
  StatusLine& status_;
};

}  // namespace salvex::gui
