#include "gui/button_bar.h"

#include <QAction>
#include <QToolButton>

#include "gui/command_actions.h"
#include "gui/theme_icon.h"
#include "wizard/step_presentation.h"

namespace salvex::gui {

using wizard::Command;

ButtonBar::ButtonBar(const CommandActions& actions, bool homePage, QWidget* parent) : QToolBar(parent) {
  setObjectName(QStringLiteral("buttonBar"));
  setWindowTitle(QStringLiteral("Buttons"));
  setMovable(false);
  setFloatable(false);
  setIconSize(QSize(32, 32));
  setToolButtonStyle(Qt::ToolButtonIconOnly);
  const auto add = [this](Command command, const QIcon& icon, const char* tooltip, const QAction* mirrored) {
    auto* button = new QToolButton(this);
    button->setObjectName(QStringLiteral("barButton%1").arg(static_cast<int>(command)));
    button->setIcon(icon);
    button->setToolTip(QString::fromUtf8(tooltip));
    button->setAutoRaise(true);
    addWidget(button);
    connect(button, &QToolButton::clicked, this, [this, command] { emit commandClicked(command); });
    if (mirrored != nullptr) {
      button->setEnabled(mirrored->isEnabled());
      connect(mirrored, &QAction::changed, button, [button, mirrored] { button->setEnabled(mirrored->isEnabled()); });
    }
    buttons_[command] = button;
  };
  for (const Command command : {Command::recoverSelected, Command::recoverAll, Command::saveSnapshot,
                                Command::loadSnapshot, Command::findFiles, Command::settings}) {
    if (command == Command::saveSnapshot || command == Command::findFiles) addSeparator();
    add(command, actions.Icon(command), wizard::ButtonBarTooltip(command), actions.Action(command));
  }
  if (homePage) {
    addSeparator();
    add(Command::homePage, ThemeIcon(QStringLiteral("go-home"), QStringLiteral(":/icons/home.svg")),
        wizard::kHomePageTooltip, nullptr);
  }
}

QToolButton* ButtonBar::Button(Command command) const {
  const auto found = buttons_.find(command);
  return found == buttons_.end() ? nullptr : found->second;
}

}  // namespace salvex::gui
