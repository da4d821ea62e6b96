#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "recovery/extraction.h"
#include "wizard/wizard_types.h"

namespace salvex::gui {

class GuiProgram;
class ImagingDialog;
class SavingDialog;

// Walks the window through the three scan types of the first image given,
// as a user would, and saves a picture of every step (and of every box,
// which it then answers) into a folder: how the screenshot test and the README's
// pictures are made. Run by salvex_gui_screenshots, a test program only;
// ends the program with 0 when done, 1 when a step did not come within two
// minutes.
class ScreenshotTour final : public QObject {
  Q_OBJECT

 public:
  ScreenshotTour(GuiProgram& program, QString folder);
  ~ScreenshotTour() override;
  void Start();

 private:
  struct Step {
    std::function<bool()> ready;
    std::function<void()> act;
  };
  void Tick();
  bool AnswerBox();
  void Save(const QString& name);
  void SaveToolTip(const QString& name);
  bool Idle(int step) const;
  void ClickChild(int treeKind, int child);
  // Runs a command of the window as its menu entry would.
  void Open(wizard::Command command);
  // Whether the active modal dialog is the one named.
  static std::function<bool()> Modal(const char* name);
  static QWidget* HelpShown();
  // Saves the active modal dialog's picture, then closes it as Cancel would.
  void SaveModal(const QString& name, bool close = true);

  GuiProgram& program_;
  QString folder_;
  std::vector<Step> steps_;
  std::size_t next_ = 0;
  int boxes_ = 0;
  int ticks_ = 0;
  QTimer timer_;
  RecoveryRunState runState_;
  std::unique_ptr<SavingDialog> saving_;
  std::atomic<bool> imagingStop_{false};
  std::unique_ptr<ImagingDialog> imaging_;
};

}  // namespace salvex::gui
