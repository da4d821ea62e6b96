#include "gui/gui_program.h"

#include <QCoreApplication>

namespace salvex::gui {

GuiProgram::GuiProgram(Settings settings)
    : shell_(&window_), window_(session_.scan), dialogs_(window_, window_.Types()) {
  // The window runs as the user: a disk it may not open is asked of udisks2.
  session_.diskAccess.askUdisks = true;
  worker_ = std::make_unique<ThreadWorker>([this](std::function<void()> work) { window_.Post(std::move(work)); });
  wizard::WizardController::Options options;
  options.images = std::move(settings.images);
  options.startFolder = settings.startFolder;
  options.homePage = settings.homePage;
  FileTypes& types = window_.Types();
  options.typeName = [&types](std::string_view name) { return types.TypeName(name); };
  controller_ = std::make_unique<wizard::WizardController>(session_, window_, *worker_, shell_, std::move(options));
  commands_ = std::make_unique<wizard::WizardCommands>(
      *controller_, session_, window_, dialogs_, shell_,
      wizard::WizardCommands::Options{std::move(settings.startFolder), std::move(settings.homePage),
                                      "Brimora Salvex FAT " SALVEX_VERSION});
  window_.Attach(*controller_, *commands_);
}

GuiProgram::~GuiProgram() {
  // A running scan ends at its next check of the flag; its boxes answer at
  // once meanwhile, so the wait below cannot hang on one.
  session_.scan.stopRequested = true;
  window_.BeginQuit();
  // Gone from the screen at once, though a worker may take a moment to end.
  window_.hide();
  worker_.reset();
  // What the worker posted as it ended must not run on a controller that is gone.
  QCoreApplication::removePostedEvents(&window_, QEvent::MetaCall);
  commands_.reset();
  controller_.reset();
}

void GuiProgram::Start() {
  // Shown first, so that a box about an image that cannot be opened has its window.
  window_.show();
  controller_->StartUp();
}

}  // namespace salvex::gui
