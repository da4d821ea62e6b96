#include "gui/saving_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "gui/qt_text.h"
#include "gui/read_only_field.h"
#include "wizard/recovery_texts.h"

namespace salvex::gui {
namespace {

constexpr int kDrawIntervalMs = 100;

QLineEdit* WideField(const char* name, QWidget* parent) {
  QLineEdit* field = ReadOnlyField(name, parent);
  field->setMinimumWidth(420);
  return field;
}

}  // namespace

SavingDialog::SavingDialog(RecoveryRunState& run, QWidget* parent) : QDialog(parent), run_(run) {
  setObjectName(QStringLiteral("savingDialog"));
  setWindowTitle(QStringLiteral("Saving the data please wait"));
  setWindowModality(Qt::ApplicationModal);
  path_ = WideField("pathField", this);
  fileName_ = WideField("fileNameField", this);
  totalFiles_ = WideField("totalFilesField", this);
  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("Path"), path_);
  fields->addRow(QStringLiteral("File Name"), fileName_);
  fields->addRow(QStringLiteral("Total Files"), totalFiles_);

  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  // The whole run, below the file's own bar: files and bytes of the total,
  // the share done and the time left.
  overall_ = new QProgressBar(this);
  overall_->setObjectName(QStringLiteral("overallProgress"));
  overall_->setRange(0, 100);
  overall_->setValue(0);
  overall_->setTextVisible(true);

  stop_ = new QPushButton(QStringLiteral("&Stop Saving"), this);
  stop_->setObjectName(QStringLiteral("stopSavingButton"));
  skip_ = new QPushButton(QStringLiteral("S&kip File"), this);
  skip_->setObjectName(QStringLiteral("skipFileButton"));
  stop_->setAutoDefault(false);
  skip_->setAutoDefault(false);
  connect(stop_, &QPushButton::clicked, this, [this] { run_.stopSaving = true; });
  connect(skip_, &QPushButton::clicked, this, [this] { run_.skipFile = true; });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(stop_);
  buttons->addWidget(skip_);

  auto* column = new QVBoxLayout(this);
  column->addLayout(fields);
  column->addWidget(progress_);
  column->addWidget(overall_);
  column->addLayout(buttons);

  timer_.setInterval(kDrawIntervalMs);
  connect(&timer_, &QTimer::timeout, this, &SavingDialog::Draw);
  timer_.start();
  elapsed_.start();
}

void SavingDialog::SetPath(std::string_view path) {
  const std::lock_guard lock(mutex_);
  pending_.path.emplace(path);
}

void SavingDialog::SetFileName(std::string_view name) {
  const std::lock_guard lock(mutex_);
  pending_.fileName.emplace(name);
}

// The field shows the run's own count of files made (see Draw).
void SavingDialog::SetTotalFiles(std::uint32_t) {}

void SavingDialog::SetProgress(int percent) {
  const std::lock_guard lock(mutex_);
  pending_.progress = percent;
}

void SavingDialog::Draw() {
  Pending pending;
  {
    const std::lock_guard lock(mutex_);
    std::swap(pending, pending_);
  }
  if (pending.path) path_->setText(ToQString(*pending.path));
  if (pending.fileName) fileName_->setText(ToQString(*pending.fileName));
  if (pending.progress) progress_->setValue(std::clamp(*pending.progress, 0, 100));
  const std::uint32_t files = run_.filesCreated.load(std::memory_order_relaxed);
  // The files made so far, the same count the bar below gives: the engine's
  // own count (which lags by the file being written) would say another.
  totalFiles_->setText(QString::number(files));
  const std::uint64_t bytes = run_.bytesCopied.load(std::memory_order_relaxed);
  overall_->setValue(wizard::SavingPercent(files, run_.filesToWrite, bytes, run_.bytesToWrite));
  overall_->setFormat(ToQString(wizard::SavingProgressText(files, run_.filesToWrite, bytes, run_.bytesToWrite,
                                                           static_cast<double>(elapsed_.elapsed()) / 1000)));
}

void SavingDialog::Finish() {
  timer_.stop();
  Draw();
  QDialog::accept();
}

void SavingDialog::reject() {
  // Closing is stopping: the dialog goes when the worker has ended.
  run_.stopSaving = true;
}

}  // namespace salvex::gui
