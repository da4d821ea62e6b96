#pragma once

#include <QWidget>

#include "wizard/wizard_types.h"

class QPushButton;

namespace salvex::gui {

// Next, Back, Stop and "Search Partitions", with their tooltips.
class WizardButtons final : public QWidget {
  Q_OBJECT

 public:
  explicit WizardButtons(QWidget* parent = nullptr);

  // Null for a control that is not one of the four buttons.
  QPushButton* Button(wizard::Control control) const;

 signals:
  void nextClicked();
  void backClicked();
  void stopClicked();
  void searchPartitionsClicked();

 private:
  QPushButton* next_ = nullptr;
  QPushButton* back_ = nullptr;
  QPushButton* stop_ = nullptr;
  QPushButton* search_ = nullptr;
};

}  // namespace salvex::gui
