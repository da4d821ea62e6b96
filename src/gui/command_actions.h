#pragma once

#include <QObject>

#include <map>

#include "wizard/wizard_types.h"

class QAction;
class QMenu;
class QMenuBar;

namespace salvex::gui {

// One action per command of the menu bar, whose enabled state the wizard
// sets, and the item list's context menu.
class CommandActions final : public QObject {
  Q_OBJECT

 public:
  explicit CommandActions(QObject* parent = nullptr);

  QAction* Action(wizard::Command command) const { return actions_.at(command); }
  // "&Recovery", "&View", "&Tools" and "&Help" with their entries.
  void FillMenuBar(QMenuBar& bar) const;
  // The context menu of a list row: "&Open", "Open &With..." (grayed for a
  // folder), and the "&View" submenu.
  void FillRowMenu(QMenu& menu, bool folderRow) const;

  QAction* OpenAction() const { return open_; }
  QAction* OpenWithAction() const { return openWith_; }

 signals:
  void commandTriggered(salvex::wizard::Command command);
  void openTriggered(bool chooser);

 private:
  QAction* Make(wizard::Command command, const char* text, const char* iconName);

  std::map<wizard::Command, QAction*> actions_;
  QAction* open_ = nullptr;
  QAction* openWith_ = nullptr;
  // The row menu's own view entries ("Ico&ns     " keeps its blanks).
  QAction* rowIcons_ = nullptr;
  QAction* rowList_ = nullptr;
  QAction* rowDetails_ = nullptr;
};

}  // namespace salvex::gui
