#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gui/dialog_host.h"
#include "gui/main_window.h"
#include "gui/qt_shell_services.h"
#include "session/session.h"
#include "session/worker.h"
#include "wizard/wizard_commands.h"
#include "wizard/preview_reader.h"
#include "wizard/wizard_controller.h"

namespace salvex::gui {

// One run of salvex-gui: the session, the window and its dialogs, the worker
// thread, and the wizard controller and commands between them. Ending it
// stops a running worker and waits for it before anything the worker uses
// goes away.
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
  wizard::WizardCommands& Commands() { return *commands_; }
  DialogHost& Dialogs() { return dialogs_; }

 private:
  Session session_;
  QtShellServices shell_;
  MainWindow window_;
  DialogHost dialogs_;
  std::unique_ptr<ThreadWorker> worker_;
  std::unique_ptr<wizard::PreviewReader> preview_;
  std::unique_ptr<wizard::PreviewPausingWorker> previewPausing_;
  std::unique_ptr<wizard::WizardController> controller_;
  std::unique_ptr<wizard::WizardCommands> commands_;
};

// What salvex-gui sets on its QApplication before the program is made: its
// names, the icon theme, and that it ends only through the wizard's Exit.
void PrepareApplication();

}  // namespace salvex::gui
