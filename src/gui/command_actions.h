#pragma once

#include <QIcon>
#include <QObject>

#include <map>

#include "wizard/wizard_types.h"

class QAction;
class QMenu;
class QMenuBar;

namespace salvex::gui {

// One action per command of the menu bar, whose enabled state the wizard
// sets, and the item list's context menu, built from the wizard's table of
// its entries. Every action reports its command; the wizard decides.
class CommandActions final : public QObject {
  Q_OBJECT

 public:
  explicit CommandActions(QObject* parent = nullptr);

  QAction* Action(wizard::Command command) const { return actions_.at(command); }
  // The command's picture: the desktop theme's, else the program's own.
  QIcon Icon(wizard::Command command) const;
  // "&Recovery", "&View", "&Tools" and "&Help" with their entries.
  void FillMenuBar(QMenuBar& bar) const;
  // The context menu of a selected list row.
  void FillRowMenu(QMenu& menu, bool folderRow) const;

  QAction* OpenAction() const { return rowActions_.at(wizard::Command::open); }
  QAction* OpenWithAction() const { return rowActions_.at(wizard::Command::openWith); }

 signals:
  void commandTriggered(salvex::wizard::Command command);

 private:
  QAction* Make(wizard::Command command, const char* text);

  std::map<wizard::Command, QAction*> actions_;
  // The row menu's own entries ("Ico&ns     " keeps its blanks).
  std::map<wizard::Command, QAction*> rowActions_;
};

}  // namespace salvex::gui
