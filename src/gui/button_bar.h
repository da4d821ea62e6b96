#pragma once

#include <QToolBar>

#include <map>

#include "wizard/wizard_types.h"

class QToolButton;

namespace salvex::gui {

class CommandActions;

// The bar of picture buttons under the menus: Recover Selected, Recover All,
// Save Snapshot, Load Snapshot, Find Files and Settings, each with its
// tooltip and drawn enabled as its menu entry is (the wizard checks the
// entry again when a button is clicked), and the home-page button when the
// build names a home page.
class ButtonBar final : public QToolBar {
  Q_OBJECT

 public:
  ButtonBar(const CommandActions& actions, bool homePage, QWidget* parent = nullptr);

  QToolButton* Button(wizard::Command command) const;

 signals:
  void commandClicked(salvex::wizard::Command command);

 private:
  std::map<wizard::Command, QToolButton*> buttons_;
};

}  // namespace salvex::gui
