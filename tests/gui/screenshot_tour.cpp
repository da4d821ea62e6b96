#include "screenshot_tour.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QRadioButton>
#include <QToolButton>

#include <cstdio>

#include "gui/gui_program.h"
#include "gui/disk_sectors_dialog.h"
#include "gui/help_window.h"
#include "gui/preview_pane.h"
#include "gui/imaging_dialog.h"
#include "gui/saving_dialog.h"
#include "gui/view_filter_bar.h"
#include "gui/scan_options.h"
#include "trimming_progress.h"

namespace salvex::gui {
namespace {

using wizard::Command;
using wizard::TreeKind;

constexpr int kTickMs = 150;
constexpr int kMaxTicks = 120000 / kTickMs;

}  // namespace

ScreenshotTour::ScreenshotTour(GuiProgram& program, QString folder) : program_(program), folder_(std::move(folder)) {
  wizard::WizardController& wizard = program_.Controller();
  const auto now = [] { return true; };
  steps_ = {
      {now, [this] { ClickChild(static_cast<int>(TreeKind::disks), -1); }},
      {now, [this] { program_.Window().findChild<QToolButton*>(QStringLiteral("scanTypeHelp"))->click(); }},
      {now, [this] { SaveToolTip(QStringLiteral("1-scan-type-help")); }},
      {now, [this, &wizard] { Save(QStringLiteral("1-disk")); wizard.OnNext(); }},
      {[this] { return Idle(1); }, [this] { ClickChild(static_cast<int>(TreeKind::partitions), 0); }},
      {now, [this, &wizard] { Save(QStringLiteral("2-partitions")); wizard.OnNext(); }},
      {[this] { return Idle(3); }, [this] { Save(QStringLiteral("3-items")); }},
      // The first file of the root (after its five folders) in the preview.
      {now, [this] { program_.Window().SelectListRow(5); }},
      {[this] {
         const PreviewPane* preview = program_.Window().Preview();
         return preview == nullptr || preview->Showing() == PreviewPane::Shown::text ||
                preview->Showing() == PreviewPane::Shown::hex;
       },
       [this] { Save(QStringLiteral("3-preview")); }},
      // The same file's bytes in hex, from an offset typed.
      {now, [this] {
         PreviewPane* preview = program_.Window().Preview();
         if (preview != nullptr) preview->GoTo("0x40");
       }},
      {now, [this] {
         Save(QStringLiteral("3-hex"));
         PreviewPane* preview = program_.Window().Preview();
         if (preview != nullptr) preview->TextButton().click();
       }},
      // Files marked in two folders, counted in the status bar.
      {now, [&wizard] {
         wizard.MarkListRow(5, true);
         wizard.MarkListRow(6, true);
         const FolderTreeModel* items = wizard.Tree(TreeKind::items);
         if (items != nullptr && items->Children(FolderTreeModel::kRoot).size() > 1) {
           wizard.MarkTreeNode(items->Children(FolderTreeModel::kRoot)[1], true);
         }
       }},
      {now, [this] { Save(QStringLiteral("3-marks")); }},
      // Deleted items only, in the list and the tree.
      {now, [this] { program_.Window().ViewFilters().DeletedChoice().setCurrentIndex(1); }},
      {now, [this] {
         Save(QStringLiteral("3-view-filter"));
         program_.Window().ViewFilters().DeletedChoice().setCurrentIndex(0);
       }},
      // The root listing holds the deleted folder; its picture in icons mode too.
      {now, [&wizard] { wizard.SetViewMode(wizard::ViewMode::icons); }},
      {now, [this, &wizard] {
         Save(QStringLiteral("4-icons"));
         wizard.SetViewMode(wizard::ViewMode::details);
       }},
      // Each dialog of the items step, drawn with something in it.
      {now, [this] { Open(Command::settings); }},
      {Modal("recoverySettingsDialog"), [this] { SaveModal(QStringLiteral("dialog-settings")); }},
      {now, [this] { Open(Command::fileFilters); }},
      {Modal("fileFiltersDialog"), [this] {
         QWidget* dialog = QApplication::activeModalWidget();
         dialog->findChild<QLineEdit*>(QStringLiteral("filterField"))->setText(QStringLiteral("*.TXT"));
         dialog->findChild<QPushButton*>(QStringLiteral("addFilterButton"))->click();
         dialog->findChild<QLineEdit*>(QStringLiteral("filterField"))->setText(QStringLiteral("*.DOC"));
         SaveModal(QStringLiteral("dialog-filters"), false);
         // The list stays unfiltered for the pictures that follow.
         auto* list = dialog->findChild<QListWidget*>(QStringLiteral("filterList"));
         list->setCurrentRow(0);
         dialog->findChild<QPushButton*>(QStringLiteral("removeFilterButton"))->click();
         qobject_cast<QDialog*>(dialog)->reject();
       }},
      {now, [this] { Open(Command::findFiles); }},
      {Modal("findFilesDialog"), [] {
         QWidget* dialog = QApplication::activeModalWidget();
         dialog->findChild<QLineEdit*>(QStringLiteral("patternField"))->setText(QStringLiteral("*.*"));
         dialog->findChild<QPushButton*>(QStringLiteral("startSearchButton"))->click();
       }},
      {[this] {
         QWidget* dialog = QApplication::activeModalWidget();
         return Modal("findFilesDialog")() &&
                dialog->findChild<QPushButton*>(QStringLiteral("startSearchButton"))->isEnabled() &&
                !dialog->findChild<QLineEdit*>(QStringLiteral("filesFoundField"))->text().isEmpty();
       },
       [this] { SaveModal(QStringLiteral("dialog-find")); }},
      // By content: the demo files' first line, in the files and the free space.
      {now, [this] { Open(Command::findFiles); }},
      {Modal("findFilesDialog"), [] {
         QWidget* dialog = QApplication::activeModalWidget();
         dialog->findChild<QLineEdit*>(QStringLiteral("containingField"))->setText(QStringLiteral("demo file"));
         dialog->findChild<QPushButton*>(QStringLiteral("startSearchButton"))->click();
       }},
      {[this] {
         QWidget* dialog = QApplication::activeModalWidget();
         return Modal("findFilesDialog")() &&
                dialog->findChild<QPushButton*>(QStringLiteral("startSearchButton"))->isEnabled() &&
                !dialog->findChild<QLineEdit*>(QStringLiteral("filesFoundField"))->text().isEmpty();
       },
       [this] {
         // The last rows: the hits in free space.
         QApplication::activeModalWidget()->findChild<QTableView*>(QStringLiteral("foundFiles"))->scrollToBottom();
         SaveModal(QStringLiteral("dialog-find-text"));
       }},
      {now, [this] { Open(Command::driveInformation); }},
      {Modal("informationDialog"), [this] { SaveModal(QStringLiteral("dialog-drive-information")); }},
      {now, [this] {
         program_.Window().SelectListRow(0);
         Open(Command::properties);
       }},
      {Modal("informationDialog"), [this] { SaveModal(QStringLiteral("dialog-properties")); }},
      // The disk's own sectors in hex: the FAT32 volume's boot sector.
      {now, [this] { Open(Command::viewSectors); }},
      {Modal("diskSectorsDialog"), [] {
         auto* dialog = qobject_cast<DiskSectorsDialog*>(QApplication::activeModalWidget());
         dialog->StartField().setText(QStringLiteral("2048"));
         dialog->CountBox().setValue(2);
         dialog->ReadButton().click();
       }},
      {[] {
         auto* dialog = qobject_cast<DiskSectorsDialog*>(QApplication::activeModalWidget());
         return dialog != nullptr && !dialog->Reading() && !dialog->Hex().toPlainText().isEmpty();
       },
       [this] { SaveModal(QStringLiteral("dialog-sectors")); }},
      {now, [this] { Open(Command::about); }},
      {Modal("aboutDialog"), [this] { SaveModal(QStringLiteral("dialog-about")); }},
      // The saving dialog as a run shows it; a run of the demo disk is over
      // too soon to be caught in a picture.
      {now, [this] {
         runState_.filesToWrite = 7;
         runState_.bytesToWrite = 2 << 20;
         runState_.filesCreated = 4;
         runState_.bytesCopied = 3 << 19;
         saving_ = std::make_unique<SavingDialog>(runState_, &program_.Window());
         saving_->SetPath(QDir(folder_).filePath(QStringLiteral("recovered")).toStdString());
         saving_->SetFileName("REPORT.DOC");
         saving_->SetTotalFiles(3);
         saving_->SetProgress(42);
         saving_->show();
       }},
      {now, [] {}},
      {now, [this] {
         saving_->grab().save(QDir(folder_).filePath(QStringLiteral("dialog-saving.png")));
         saving_->Finish();
         saving_.reset();
         // The imaging dialog part way through a failing disk, as a run shows it.
         imaging_ = std::make_unique<ImagingDialog>("/dev/sdb", imagingStop_, &program_.Window());
         imaging_->Progress(testing::TrimmingProgress({.extent = 64ULL << 30,
                                                       .rescued = 41ULL << 30,
                                                       .badBytes = 9216,
                                                       .badAreas = 5,
                                                       .readErrors = 212,
                                                       .elapsed = std::chrono::seconds(700)}));
         imaging_->show();
       }},
      {[this] { return imaging_->PhaseField().text() == QStringLiteral("Trimming"); }, [this] {
         imaging_->grab().save(QDir(folder_).filePath(QStringLiteral("dialog-imaging.png")));
         imaging_->Finish();
         imaging_.reset();
         Open(Command::recoverAll);
       }},
      // The folder chooser, answered; the boxes that follow are saved and answered.
      {[] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()) != nullptr; },
       [this] {
         auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
         const QString into = QDir(folder_).filePath(QStringLiteral("recovered"));
         QDir().mkpath(into);
         chooser->grab().save(QDir(folder_).filePath(QStringLiteral("dialog-folder-chooser.png")));
         chooser->setDirectory(into);
         static_cast<QDialog*>(chooser)->accept();  // public there
       }},
      {[this] { return Idle(3); }, [this] { Open(Command::helpContents); }},
      {[] { return HelpShown() != nullptr; }, [] {}},
      {now, [this] {
         QWidget* help = HelpShown();
         help->grab().save(QDir(folder_).filePath(QStringLiteral("help-window.png")));
         help->close();
       }},
      // Back asks first; the question is answered by the tour's timer,
      // which cannot fire inside its own call: so Back is clicked from one
      // of its own.
      {now, [this, &wizard] {
         QTimer::singleShot(0, this, [this, &wizard] {
           wizard.OnBack();
           wizard.OnBack();
           program_.Window().Options().findChild<QRadioButton*>(QStringLiteral("advanceScanOption"))->click();
           wizard.OnNext();
         });
       }},
      {[this] { return Idle(1); }, [this] { ClickChild(static_cast<int>(TreeKind::partitions), 0); }},
      {now, [this, &wizard] { Save(QStringLiteral("5-range")); wizard.OnNext(); }},
      {[this] { return Idle(2); }, [this] { ClickChild(static_cast<int>(TreeKind::foundFileSystems), 0); }},
      {now, [this, &wizard] { Save(QStringLiteral("6-found")); wizard.OnNext(); }},
      {[this] { return Idle(3); }, [this] { Save(QStringLiteral("7-mounted")); }},
      // Back to the disks (each Back asks, and the timer answers), then a
      // Search by File Type of the first partition.
      {now, [this, &wizard] { QTimer::singleShot(0, this, [&wizard] { wizard.OnBack(); }); }},
      {[this] { return Idle(2); }, [this, &wizard] { QTimer::singleShot(0, this, [&wizard] { wizard.OnBack(); }); }},
      {[this] { return Idle(1); }, [this, &wizard] { QTimer::singleShot(0, this, [&wizard] { wizard.OnBack(); }); }},
      {[this] { return Idle(0); }, [this, &wizard] {
         program_.Window().Options().findChild<QRadioButton*>(QStringLiteral("fileTypeScanOption"))->click();
         wizard.OnNext();
       }},
      {[this] { return Idle(1); }, [this] { ClickChild(static_cast<int>(TreeKind::partitions), 0); }},
      {now, [this, &wizard] { Save(QStringLiteral("8-file-types")); wizard.OnNext(); }},
      // The first type's files, under "Found by Content".
      {[this] { return Idle(3); }, [&wizard] {
         const FolderTreeModel* items = wizard.Tree(TreeKind::items);
         if (items == nullptr || items->Children(FolderTreeModel::kRoot).empty()) return;
         const auto& types = items->Children(items->Children(FolderTreeModel::kRoot).front());
         if (!types.empty()) wizard.OnTreeClick(types.front(), wizard::TreeHit::onItem);
       }},
      {now, [this] { program_.Window().SelectListRow(0); }},
      {now, [this] { Save(QStringLiteral("9-found-by-content")); }},
      {now, [] { QCoreApplication::exit(0); }},
  };
  timer_.setInterval(kTickMs);
  connect(&timer_, &QTimer::timeout, this, &ScreenshotTour::Tick);
}

ScreenshotTour::~ScreenshotTour() = default;

void ScreenshotTour::Start() {
  QDir().mkpath(folder_);
  timer_.start();
}

std::function<bool()> ScreenshotTour::Modal(const char* name) {
  return [name] {
    QWidget* modal = QApplication::activeModalWidget();
    return modal != nullptr && modal->objectName() == QLatin1String(name);
  };
}

QWidget* ScreenshotTour::HelpShown() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (qobject_cast<HelpWindow*>(widget) != nullptr && widget->isVisible()) return widget;
  }
  return nullptr;
}

void ScreenshotTour::Open(wizard::Command command) {
  // Posted: a dialog's own loop must not run inside this tick.
  QTimer::singleShot(0, this, [this, command] { program_.Commands().Run(command); });
}

void ScreenshotTour::SaveModal(const QString& name, bool close) {
  auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
  if (dialog == nullptr) return;
  dialog->grab().save(QDir(folder_).filePath(name + QStringLiteral(".png")));
  std::printf("screenshot: %s\n", qPrintable(name));
  std::fflush(stdout);
  if (close) dialog->reject();
}

bool ScreenshotTour::Idle(int step) const {
  const wizard::WizardController& wizard = program_.Controller();
  return wizard.StepNumber() == step && !wizard.Busy() && QApplication::activeModalWidget() == nullptr;
}

void ScreenshotTour::ClickChild(int treeKind, int child) {
  wizard::WizardController& wizard = program_.Controller();
  const FolderTreeModel* tree = wizard.Tree(static_cast<TreeKind>(treeKind));
  if (tree == nullptr || tree->Children(FolderTreeModel::kRoot).empty()) return;
  const auto& children = tree->Children(FolderTreeModel::kRoot);
  // -1: the last child, which in the disk tree is the image named last.
  const TreeNodeId node = child < 0 ? children.back() : children[static_cast<std::size_t>(child)];
  wizard.OnTreeClick(node, wizard::TreeHit::onItem);
}

bool ScreenshotTour::AnswerBox() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box == nullptr) return false;
  box->grab().save(QDir(folder_).filePath(QStringLiteral("box-%1.png").arg(++boxes_)));
  std::printf("box: %s\n", qPrintable(box->text()));
  QAbstractButton* answer = box->button(QMessageBox::Ok);
  // The tour goes back from the items to show the Advance Scan.
  if (box->text() == QString::fromLatin1(wizard::kDiscardResultsQuestion)) answer = box->button(QMessageBox::Yes);
  if (answer == nullptr) answer = box->button(QMessageBox::No);
  if (answer != nullptr) answer->click();
  return true;
}

void ScreenshotTour::Save(const QString& name) {
  const QString path = QDir(folder_).filePath(name + QStringLiteral(".png"));
  program_.Window().grab().save(path);
  std::printf("screenshot: %s\n", qPrintable(path));
  std::fflush(stdout);
}

void ScreenshotTour::SaveToolTip(const QString& name) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->inherits("QTipLabel") && widget->isVisible()) {
      widget->grab().save(QDir(folder_).filePath(name + QStringLiteral(".png")));
      widget->hide();
    }
  }
}

void ScreenshotTour::Tick() {
  if (++ticks_ > kMaxTicks) {
    std::fprintf(stderr, "screenshot tour: step %zu did not come in time\n", next_);
    QCoreApplication::exit(1);
    return;
  }
  if (AnswerBox() || next_ >= steps_.size() || !steps_[next_].ready()) return;
  steps_[next_++].act();
}

}  // namespace salvex::gui
