#pragma once

#include <optional>
#include <string>

#include "platform/shell_services.h"
#include "recovery/recovery_run.h"
#include "session/session.h"
#include "wizard/command_view.h"
#include "wizard/wizard_controller.h"

namespace salvex::wizard {

inline constexpr const char* kHelpFileName = "Brimora Salvex for FAT.chm";
inline constexpr const char* kHelpFileNotFoundMessage = " Brimora Salvex for FAT.chm not found";
inline constexpr const char* kChooseDiskToImageMessage = "Choose the disk to image in the tree first.";

// What each command of the menu bar, the button bar and the item list's
// context menu does, and when: a command with a menu entry acts only while
// that entry is enabled, and none starts while a worker runs (Exit, Help
// and About excepted). The dialogs are the CommandView's; the wizard's
// steps stay the controller's.
class WizardCommands {
 public:
  struct Options {
    std::string startFolder;  // where the help file is looked for
    std::string homePage;     // the home-page button's address; empty: none
    std::string programName;  // "Brimora Salvex FAT 1.0", for the maps of images made here
  };

  WizardCommands(WizardController& controller, Session& session, WizardView& view, CommandView& dialogs,
                 ShellServices& shell, Options options);

  void Run(Command command);
  bool HasHomePage() const { return !options_.homePage.empty(); }

 private:
  // The recovery run: selection, destination, its checks, the saving dialog
  // over the worker, the summary and the run's report.
  enum class RecoverWhat { selected, all, marked };
  void Recover(RecoverWhat what);
  std::optional<RecoverySelection> Selection(RecoverWhat what) const;
  // The chosen disk copied into an image file with a ddrescue map, under
  // its progress dialog; a finished image is added and chosen with its map.
  void CreateDiskImage();
  void SaveSnapshot();
  void FindFiles();
  // "View Disk Sectors": the disk being examined, read on the worker.
  void ViewSectors();
  void ShowProperties();
  void Help();

  WizardController& controller_;
  Session& session_;
  WizardView& view_;
  CommandView& dialogs_;
  ShellServices& shell_;
  Options options_;
};

}  // namespace salvex::wizard
