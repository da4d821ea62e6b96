#pragma once

#include <QWidget>

#include <array>
#include <string_view>

#include "wizard/step_presentation.h"

class QLabel;

namespace salvex::gui {

// The information panel: five rows of a label and a value, and the status
// line under them. The wizard chooses the labels; the engines write values
// by label.
class InfoPanel final : public QWidget {
  Q_OBJECT

 public:
  explicit InfoPanel(QWidget* parent = nullptr);

  void SetLabels(const wizard::PanelLabelSet& set);
  // The row whose label is `label`; no row has it: nothing changes.
  void SetValue(std::string_view label, std::string_view value);
  void HideFirstLabel();
  // An empty text clears and hides the status line.
  void SetStatus(std::string_view text);

  QString LabelText(int row) const;
  QString ValueText(int row) const;
  bool RowShown(int row) const;
  QString StatusText() const;
  bool StatusShown() const;

 private:
  struct Row {
    QLabel* label = nullptr;
    QLabel* value = nullptr;
    bool shown = false;
  };
  std::array<Row, wizard::kPanelRows> rows_;
  QLabel* status_ = nullptr;
};

}  // namespace salvex::gui
