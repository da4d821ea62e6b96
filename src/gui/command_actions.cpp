#include "gui/command_actions.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>

namespace salvex::gui {

using wizard::Command;

CommandActions::CommandActions(QObject* parent) : QObject(parent) {
  Make(Command::recoverSelected, "&Recover Selected...", "document-save");
  Make(Command::recoverAll, "Recover &All...", "document-save-as");
  Make(Command::saveSnapshot, "&Save Recovery Snapshot...", "document-export");
  Make(Command::loadSnapshot, "&Load Recovery Snapshot...", "document-open");
  Make(Command::exit, "E&xit...", "application-exit");
  Make(Command::viewIcons, "Ico&ns", "view-grid");
  Make(Command::viewList, "&List", "view-list");
  Make(Command::viewDetails, "&Details", "view-list-details");
  Make(Command::findFiles, "&Find Files...", "edit-find");
  Make(Command::fileFilters, "File Fi&lters...", "view-filter");
  Make(Command::settings, "Se&ttings...", "preferences-system");
  Make(Command::driveInformation, "&Drive Information", "drive-harddisk");
  Make(Command::helpContents, "&Contents", "help-contents");
  Make(Command::about, "&About Brimora Salvex...", "help-about");

  open_ = new QAction(QIcon::fromTheme(QStringLiteral("document-open")), QStringLiteral("&Open"), this);
  openWith_ = new QAction(QStringLiteral("Open &With..."), this);
  connect(open_, &QAction::triggered, this, [this] { emit openTriggered(false); });
  connect(openWith_, &QAction::triggered, this, [this] { emit openTriggered(true); });
  const auto rowView = [this](const char* text, Command command) {
    auto* action = new QAction(QString::fromUtf8(text), this);
    connect(action, &QAction::triggered, this, [this, command] { emit commandTriggered(command); });
    return action;
  };
  rowIcons_ = rowView("Ico&ns     ", Command::viewIcons);
  rowList_ = rowView("&List", Command::viewList);
  rowDetails_ = rowView("&Details", Command::viewDetails);
}

QAction* CommandActions::Make(Command command, const char* text, const char* iconName) {
  auto* action = new QAction(QIcon::fromTheme(QString::fromLatin1(iconName)), QString::fromUtf8(text), this);
  action->setObjectName(QStringLiteral("command%1").arg(static_cast<int>(command)));
  connect(action, &QAction::triggered, this, [this, command] { emit commandTriggered(command); });
  actions_[command] = action;
  return action;
}

void CommandActions::FillMenuBar(QMenuBar& bar) const {
  QMenu* recovery = bar.addMenu(QStringLiteral("&Recovery"));
  recovery->addAction(Action(Command::recoverSelected));
  recovery->addAction(Action(Command::recoverAll));
  recovery->addSeparator();
  recovery->addAction(Action(Command::saveSnapshot));
  recovery->addAction(Action(Command::loadSnapshot));
  recovery->addSeparator();
  recovery->addAction(Action(Command::exit));
  QMenu* view = bar.addMenu(QStringLiteral("&View"));
  view->addAction(Action(Command::viewIcons));
  view->addAction(Action(Command::viewList));
  view->addAction(Action(Command::viewDetails));
  QMenu* tools = bar.addMenu(QStringLiteral("&Tools"));
  tools->addAction(Action(Command::findFiles));
  tools->addAction(Action(Command::fileFilters));
  tools->addAction(Action(Command::settings));
  tools->addSeparator();
  tools->addAction(Action(Command::driveInformation));
  QMenu* help = bar.addMenu(QStringLiteral("&Help"));
  help->addAction(Action(Command::helpContents));
  help->addAction(Action(Command::about));
}

void CommandActions::FillRowMenu(QMenu& menu, bool folderRow) const {
  openWith_->setEnabled(!folderRow);
  menu.addAction(open_);
  menu.addAction(openWith_);
  menu.addSeparator();
  QMenu* view = menu.addMenu(QStringLiteral("&View"));
  view->addAction(rowIcons_);
  view->addAction(rowList_);
  view->addAction(rowDetails_);
}

}  // namespace salvex::gui
