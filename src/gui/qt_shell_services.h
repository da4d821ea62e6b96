#pragma once

#include "platform/shell_services.h"

class QWidget;

namespace salvex::gui {

// The desktop's services through Qt: a file opens with the program its
// type is associated with (xdg-open). "Open With" asks the desktop portal's
// chooser where a portal runs, and otherwise offers the programs registered
// for the file's type in a dialog of its own.
class QtShellServices final : public ShellServices {
 public:
  // `window` parents the fallback dialog; it need not exist yet.
  explicit QtShellServices(QWidget* window) : window_(window) {}

  bool OpenFile(const std::string& path, bool chooseProgram, std::string& error) override;
  void OpenUrl(const std::string& url) override;
  bool OpenFolder(const std::string& path, std::string& error) override;

 private:
  QWidget* window_;
};

}  // namespace salvex::gui
