#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gui/main_window.h"
#include "gui/qt_shell_services.h"
#include "session/session.h"
#include "session/worker.h"
#include "wizard/wizard_controller.h"

namespace salvex::gui {

// One run of salvex-gui: the session, the window, the worker thread and the
// wizard controller between them. Ending it stops a running worker and
// waits for it before anything the worker uses goes away.
class GuiProgram {
 public:
  struct Settings {
    std::vector<std::string> images;  // listed after the machine's disks
    std::string startFolder;
    std::string homePage;             // opened at exit; empty: none
  };

  explicit GuiProgram(Settings settings);
  ~GuiProgram();
  GuiProgram(const GuiProgram&) = delete;
  GuiProgram& operator=(const GuiProgram&) = delete;

  // Builds the first step and shows the window.
  void Start();

  Session& State() { return session_; }
  MainWindow& Window() { return window_; }
  wizard::WizardController& Controller() { return *controller_; }

 private:
  Session session_;
  QtShellServices shell_;
  MainWindow window_;
  std::unique_ptr<ThreadWorker> worker_;
  std::unique_ptr<wizard::WizardController> controller_;
};

}  // namespace salvex::gui
