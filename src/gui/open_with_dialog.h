#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "gui/desktop_applications.h"

class QListWidget;

namespace salvex::gui {

// "Open With" where no desktop portal runs: the programs registered for
// the file's type, to pick one that opens it.
class OpenWithDialog final : public QDialog {
  Q_OBJECT

 public:
  OpenWithDialog(QWidget* parent, const QString& file, std::vector<DesktopApplication> applications);

  // The program picked; null until one is.
  const DesktopApplication* Chosen() const;

  // Shows the dialog for `file` and starts the program picked. False, with
  // `error` set, when no program is registered or it cannot be started; a
  // dialog closed without a choice is no error.
  static bool Run(QWidget* parent, const QString& file, std::string& error);

 private:
  std::vector<DesktopApplication> applications_;
  QListWidget* list_ = nullptr;
};

}  // namespace salvex::gui
