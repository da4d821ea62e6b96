#include "gui/screenshot_tour.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QRadioButton>
#include <QToolButton>

#include <cstdio>

#include "gui/gui_program.h"
#include "gui/scan_options.h"

namespace salvex::gui {
namespace {

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
      // The root listing holds the deleted folder; its picture in icons mode too.
      {now, [&wizard] { wizard.SetViewMode(wizard::ViewMode::icons); }},
      {now, [this, &wizard] {
         Save(QStringLiteral("4-icons"));
         wizard.SetViewMode(wizard::ViewMode::details);
         wizard.OnBack();
         wizard.OnBack();
         program_.Window().Options().findChild<QRadioButton*>(QStringLiteral("advanceScanOption"))->click();
         wizard.OnNext();
       }},
      {[this] { return Idle(1); }, [this] { ClickChild(static_cast<int>(TreeKind::partitions), 0); }},
      {now, [this, &wizard] { Save(QStringLiteral("5-range")); wizard.OnNext(); }},
      {[this] { return Idle(2); }, [this] { ClickChild(static_cast<int>(TreeKind::foundFileSystems), 0); }},
      {now, [this, &wizard] { Save(QStringLiteral("6-found")); wizard.OnNext(); }},
      {[this] { return Idle(3); }, [this] { Save(QStringLiteral("7-mounted")); }},
      {now, [] { QCoreApplication::exit(0); }},
  };
  timer_.setInterval(kTickMs);
  connect(&timer_, &QTimer::timeout, this, &ScreenshotTour::Tick);
}

void ScreenshotTour::Start() {
  QDir().mkpath(folder_);
  timer_.start();
}

bool ScreenshotTour::Idle(int step) const {
  const wizard::WizardController& wizard = program_.Controller();
  return wizard.WizardStep() == step && !wizard.Busy() && QApplication::activeModalWidget() == nullptr;
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
