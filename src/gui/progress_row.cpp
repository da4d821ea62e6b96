#include "gui/progress_row.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

#include <charconv>

namespace salvex::gui {

ProgressRow::ProgressRow(const ScanState& scan, QWidget* parent) : QWidget(parent), scan_(scan) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("progressBar"));
  bar_->setRange(0, 100);
  bar_->setTextVisible(true);
  bar_->setFormat(QStringLiteral("%p%"));
  bar_->setMinimumWidth(220);
  rate_ = new QLabel(this);
  rate_->setObjectName(QStringLiteral("rateLabel"));
  QFont small = rate_->font();
  small.setPointSizeF(small.pointSizeF() * 0.9);
  rate_->setFont(small);
  row->addWidget(bar_, 1);
  row->addWidget(rate_);
  bar_->hide();
  rate_->hide();
}

void ProgressRow::ShowBar(bool visible) {
  bar_->setVisible(visible);
  if (!visible) rate_->hide();
}

void ProgressRow::SetPercent(int percent) { bar_->setValue(percent < 0 ? 0 : percent > 100 ? 100 : percent); }

void ProgressRow::SetStopShown(bool shown) {
  const bool sweeping = shown && scan_.scanType == ScanType::advance && scan_.wizardStep == 1;
  if (sweeping) {
    sweep_.emplace(scan_.rangeSize);
    clock_.start();
  } else {
    sweep_.reset();
  }
  rate_->clear();
  rate_->hide();
}

void ProgressRow::OnCurrentSector(std::string_view value) {
  if (!sweep_) return;
  std::uint64_t sector = 0;
  if (std::from_chars(value.data(), value.data() + value.size(), sector).ec != std::errc{}) return;
  // The FAT sweep shows how many sectors it has done, the NTFS sweep the
  // sector it reads.
  const bool absolute = scan_.selectedFsType == FsType::ntfs && sector >= scan_.rangeStart;
  sweep_->Add(static_cast<double>(clock_.nsecsElapsed()) / 1e9, absolute ? sector - scan_.rangeStart : sector);
  UpdateRate();
}

QString ProgressRow::RateText() const { return sweep_ ? rate_->text() : QString(); }

void ProgressRow::UpdateRate() {
  const std::string text = sweep_->Text();
  rate_->setText(QString::fromStdString(text));
  rate_->setVisible(!text.empty() && bar_->isVisibleTo(this));
}

}  // namespace salvex::gui
