#include "gui/gui_program.h"

#include <QApplication>
#include <QCoreApplication>

#include "gui/theme_icon.h"

#include "wizard/preview_content.h"

namespace salvex::gui {

GuiProgram::GuiProgram(Settings settings)
    : shell_(&window_), window_(session_.scan), dialogs_(window_, window_.Types()) {
  // The window runs as the user: a disk it may not open is asked of udisks2.
  session_.diskAccess.askUdisks = true;
  worker_ = std::make_unique<ThreadWorker>([this](std::function<void()> work) { window_.Post(std::move(work)); });
  preview_ = std::make_unique<wizard::PreviewReader>(
      [this](const ItemReadRequest& item, RecoveryRunState& run) {
        return ReadRequestBytes(session_, item, wizard::kPreviewBytes, run);
      },
      [this](std::uint64_t ticket, ItemBytes bytes) {
        // Decoded here, on the reader's thread: a large photo never holds up the window.
        auto decoded = std::make_shared<PreviewBytes>(DecodePreview(std::move(bytes)));
        window_.Post([this, ticket, decoded] { window_.TakePreview(ticket, std::move(*decoded)); });
      });
  // No preview read runs beside a scan, a search or a recovery.
  previewPausing_ = std::make_unique<wizard::PreviewPausingWorker>(*worker_, *preview_);
  window_.AttachPreview(*preview_, [this](std::uint32_t position) { return ItemRequestOf(session_, position); });
  wizard::WizardController::Options options;
  options.images = std::move(settings.images);
  options.startFolder = settings.startFolder;
  options.homePage = settings.homePage;
  FileTypes& types = window_.Types();
  options.typeName = [&types](std::string_view name) { return types.TypeName(name); };
  controller_ = std::make_unique<wizard::WizardController>(session_, window_, *previewPausing_, shell_, std::move(options));
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
  // No read runs or starts from here on; what one posted is removed below.
  preview_->Pause();
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

void PrepareApplication() {
  QApplication::setApplicationName(QStringLiteral("salvex-gui"));
  QApplication::setOrganizationName(QStringLiteral("Brimora"));
  QApplication::setApplicationVersion(QStringLiteral(SALVEX_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("salvex-gui"));
  // The window ends only through the wizard's Exit, which asks first.
  QApplication::setQuitOnLastWindowClosed(false);
  ChooseIconTheme();
}

}  // namespace salvex::gui
