#include "gui/command_actions.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "gui/theme_icon.h"
#include "wizard/row_menu.h"

namespace salvex::gui {

using wizard::Command;

namespace {

struct Picture {
  Command command;
  const char* theme;
  const char* fallback;  // a resource, or null where the theme's is enough
};

constexpr Picture kPictures[] = {
    {Command::recoverSelected, "document-save", ":/icons/recover-selected.svg"},
    {Command::recoverAll, "document-save-all", ":/icons/recover-all.svg"},
    {Command::recoverMarked, "document-save-all", ":/icons/recover-all.svg"},
    {Command::saveSnapshot, "document-export", ":/icons/snapshot-save.svg"},
    {Command::loadSnapshot, "document-import", ":/icons/snapshot-load.svg"},
    {Command::openDiskImage, "drive-harddisk", ":/icons/drive.svg"},
    {Command::refreshDisks, "view-refresh", nullptr},
    {Command::createDiskImage, "media-record", nullptr},
    {Command::exit, "application-exit", nullptr},
    {Command::viewIcons, "view-grid", nullptr},
    {Command::viewList, "view-list", nullptr},
    {Command::viewDetails, "view-list-details", nullptr},
    {Command::findFiles, "edit-find", ":/icons/find.svg"},
    {Command::fileFilters, "view-filter", nullptr},
    {Command::settings, "preferences-system", ":/icons/settings.svg"},
    {Command::driveInformation, "drive-harddisk", ":/icons/drive.svg"},
    {Command::helpContents, "help-contents", nullptr},
    {Command::about, "help-about", ":/icons/salvex.svg"},
    {Command::open, "document-open", nullptr},
    {Command::properties, "document-properties", nullptr},
};

}  // namespace

CommandActions::CommandActions(QObject* parent) : QObject(parent) {
  Make(Command::recoverSelected, "&Recover Selected...");
  Make(Command::recoverAll, "Recover &All...");
  Make(Command::recoverMarked, "Recover &Marked...");
  Make(Command::saveSnapshot, "&Save Recovery Snapshot...");
  Make(Command::loadSnapshot, "&Load Recovery Snapshot...");
  Make(Command::openDiskImage, "&Open Disk Image...");
  Make(Command::refreshDisks, "Re&fresh Disks")->setShortcut(QKeySequence(Qt::Key_F5));
  Make(Command::createDiskImage, "&Create Disk Image...");
  Make(Command::exit, "E&xit...");
  Make(Command::viewIcons, "Ico&ns");
  Make(Command::viewList, "&List");
  Make(Command::viewDetails, "&Details");
  Make(Command::findFiles, "&Find Files...");
  Make(Command::fileFilters, "File Fi&lters...");
  Make(Command::settings, "Se&ttings...");
  Make(Command::driveInformation, "&Drive Information");
  Make(Command::viewSectors, "View Disk &Sectors...");
  Make(Command::helpContents, "&Contents")->setShortcut(QKeySequence(Qt::Key_F1));
  Make(Command::about, "&About Brimora Salvex...");

  for (const wizard::RowMenuItem& item : wizard::RowMenuItems(false)) {
    if (item.text.empty()) continue;
    auto* action = new QAction(Icon(item.command), QString::fromUtf8(item.text.data(), item.text.size()), this);
    const Command command = item.command;
    connect(action, &QAction::triggered, this, [this, command] { emit commandTriggered(command); });
    rowActions_[command] = action;
  }
}

QIcon CommandActions::Icon(Command command) const {
  for (const Picture& picture : kPictures) {
    if (picture.command != command) continue;
    const QString theme = QString::fromLatin1(picture.theme);
    return picture.fallback != nullptr ? ThemeIcon(theme, QString::fromLatin1(picture.fallback))
                                       : QIcon::fromTheme(theme);
  }
  return {};
}

QAction* CommandActions::Make(Command command, const char* text) {
  auto* action = new QAction(Icon(command), QString::fromUtf8(text), this);
  action->setObjectName(QStringLiteral("command%1").arg(static_cast<int>(command)));
  connect(action, &QAction::triggered, this, [this, command] { emit commandTriggered(command); });
  actions_[command] = action;
  return action;
}

void CommandActions::FillMenuBar(QMenuBar& bar) const {
  QMenu* recovery = bar.addMenu(QStringLiteral("&Recovery"));
  recovery->addAction(Action(Command::recoverSelected));
  recovery->addAction(Action(Command::recoverAll));
  recovery->addAction(Action(Command::recoverMarked));
  recovery->addSeparator();
  recovery->addAction(Action(Command::saveSnapshot));
  recovery->addAction(Action(Command::loadSnapshot));
  recovery->addSeparator();
  recovery->addAction(Action(Command::openDiskImage));
  recovery->addAction(Action(Command::refreshDisks));
  recovery->addAction(Action(Command::createDiskImage));
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
  tools->addAction(Action(Command::viewSectors));
  QMenu* help = bar.addMenu(QStringLiteral("&Help"));
  help->addAction(Action(Command::helpContents));
  help->addAction(Action(Command::about));
}

void CommandActions::FillRowMenu(QMenu& menu, bool folderRow) const {
  QMenu* view = nullptr;
  for (const wizard::RowMenuItem& item : wizard::RowMenuItems(folderRow)) {
    if (item.text.empty()) {
      menu.addSeparator();
      continue;
    }
    QAction* action = rowActions_.at(item.command);
    action->setEnabled(item.enabled);
    if (!item.inViewSubmenu) {
      menu.addAction(action);
      continue;
    }
    if (view == nullptr) {
      view = menu.addMenu(QString::fromUtf8(wizard::kRowMenuViewTitle.data(), wizard::kRowMenuViewTitle.size()));
    }
    view->addAction(action);
  }
}

}  // namespace salvex::gui
