#include "gui/imaging_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "gui/qt_text.h"
#include "gui/read_only_field.h"
#include "wizard/imaging_texts.h"

namespace salvex::gui {
namespace {

constexpr int kDrawIntervalMs = 200;

QLineEdit* WideField(const char* name, QWidget* parent) {
  QLineEdit* field = ReadOnlyField(name, parent);
  field->setMinimumWidth(460);
  return field;
}

}  // namespace

ImagingDialog::ImagingDialog(const std::string& source, std::atomic<bool>& stop, QWidget* parent)
    : QDialog(parent), stop_(stop) {
  setObjectName(QStringLiteral("imagingDialog"));
  setWindowTitle(QStringLiteral("Create Disk Image"));
  setWindowModality(Qt::ApplicationModal);
  QLineEdit* sourceField = WideField("sourceField", this);
  sourceField->setText(ToQString(source));
  phase_ = WideField("phaseField", this);
  phase_->setText(QStringLiteral("Opening the disk..."));
  copied_ = WideField("copiedField", this);
  badAreas_ = WideField("badAreasField", this);
  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("Disk"), sourceField);
  fields->addRow(QStringLiteral("Phase"), phase_);
  fields->addRow(QStringLiteral("Copied"), copied_);
  fields->addRow(QStringLiteral("Bad Areas"), badAreas_);

  bar_ = new QProgressBar(this);
  bar_->setRange(0, 100);
  bar_->setValue(0);

  stopButton_ = new QPushButton(QStringLiteral("&Stop"), this);
  stopButton_->setObjectName(QStringLiteral("stopImagingButton"));
  stopButton_->setAutoDefault(false);
  stopButton_->setToolTip(QStringLiteral("Stops after the current read; the map is kept, so the image can be finished later"));
  connect(stopButton_, &QPushButton::clicked, this, [this] { stop_ = true; });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(stopButton_);

  auto* column = new QVBoxLayout(this);
  column->addLayout(fields);
  column->addWidget(bar_);
  column->addLayout(buttons);

  timer_.setInterval(kDrawIntervalMs);
  connect(&timer_, &QTimer::timeout, this, &ImagingDialog::Draw);
  timer_.start();
}

void ImagingDialog::Progress(const ImagingProgress& progress) {
  const std::lock_guard lock(mutex_);
  pending_ = progress;
}

void ImagingDialog::Draw() {
  std::optional<ImagingProgress> pending;
  {
    const std::lock_guard lock(mutex_);
    std::swap(pending, pending_);
  }
  if (!pending) return;
  const wizard::ImagingDialogTexts texts = wizard::ImagingProgressTexts(*pending);
  phase_->setText(ToQString(texts.phase));
  copied_->setText(ToQString(texts.copied));
  badAreas_->setText(ToQString(texts.badAreas));
  bar_->setValue(std::clamp(texts.percent, 0, 100));
}

void ImagingDialog::Finish() {
  timer_.stop();
  Draw();
  QDialog::accept();
}

void ImagingDialog::reject() {
  // Closing is stopping: the dialog goes when the run has saved its map.
  stop_ = true;
}

}  // namespace salvex::gui
