#include "gui/qt_shell_services.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include "gui/open_with_dialog.h"
#include "gui/portal_open_with.h"

namespace salvex::gui {

bool QtShellServices::OpenFile(const std::string& path, bool chooseProgram, std::string& error) {
  const QString file = QString::fromStdString(path);
  if (chooseProgram) {
    if (AskPortalToOpenWith(file)) return true;
    return OpenWithDialog::Run(window_, file, error);
  }
  if (QDesktopServices::openUrl(QUrl::fromLocalFile(file))) return true;
  error = "No program is set to open " + QFileInfo(file).fileName().toStdString() +
          "; use Open With... to choose one";
  return false;
}

void QtShellServices::OpenUrl(const std::string& url) {
  QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

bool QtShellServices::OpenFolder(const std::string& path, std::string& error) {
  if (QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)))) return true;
  error = "No file manager could be started to show " + path;
  return false;
}

}  // namespace salvex::gui
