#include "gui/disk_sectors_dialog.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "common/sector.h"
#include "gui/qt_text.h"
#include "wizard/preview_content.h"

namespace salvex::gui {

DiskSectorsDialog::DiskSectorsDialog(wizard::DiskSectorView& view, QWidget* parent) : QDialog(parent), view_(view) {
  setObjectName(QStringLiteral("diskSectorsDialog"));
  setWindowTitle(QStringLiteral("View Disk Sectors"));
  setModal(true);
  start_ = new QLineEdit(QStringLiteral("0"), this);
  start_->setObjectName(QStringLiteral("startSectorField"));
  start_->setToolTip(QStringLiteral("The first sector: decimal, or hex as 0x800"));
  count_ = new QSpinBox(this);
  count_->setObjectName(QStringLiteral("sectorCountBox"));
  count_->setRange(1, static_cast<int>(wizard::DiskSectorView::kMaxSectors));
  count_->setValue(1);
  read_ = new QPushButton(QStringLiteral("&Read"), this);
  read_->setObjectName(QStringLiteral("readSectorsButton"));
  read_->setDefault(true);
  previous_ = new QPushButton(QStringLiteral("&Previous"), this);
  next_ = new QPushButton(QStringLiteral("&Next"), this);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QStringLiteral("Start Sector"), this));
  row->addWidget(start_);
  row->addWidget(new QLabel(QStringLiteral("Sectors"), this));
  row->addWidget(count_);
  row->addWidget(read_);
  row->addStretch(1);
  row->addWidget(previous_);
  row->addWidget(next_);

  hex_ = new QPlainTextEdit(this);
  hex_->setObjectName(QStringLiteral("sectorHex"));
  hex_->setReadOnly(true);
  hex_->setLineWrapMode(QPlainTextEdit::NoWrap);
  hex_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  hex_->setMinimumSize(hex_->fontMetrics().horizontalAdvance(QString(80, QLatin1Char('0'))), 360);
  note_ = new QLabel(this);
  note_->setObjectName(QStringLiteral("sectorNote"));
  note_->setText(QStringLiteral("%1, %2 sectors, read only").arg(ToQString(view.DiskName())).arg(view.DiskSectors()));

  auto* column = new QVBoxLayout(this);
  column->addLayout(row);
  column->addWidget(hex_, 1);
  column->addWidget(note_);

  const auto typed = [this] { return wizard::ParseOffsetText(start_->text().toStdString()); };
  connect(read_, &QPushButton::clicked, this, [this, typed] {
    if (const auto first = typed()) {
      Read(*first);
    } else {
      note_->setText(QStringLiteral("Start Sector is not a sector number"));
    }
  });
  connect(previous_, &QPushButton::clicked, this, [this] {
    const auto step = static_cast<std::uint64_t>(count_->value());
    Read(shownFirst_ >= step ? shownFirst_ - step : 0);
  });
  connect(next_, &QPushButton::clicked, this, [this] { Read(shownFirst_ + static_cast<std::uint64_t>(count_->value())); });
}

void DiskSectorsDialog::Read(std::uint64_t first) {
  if (reading_) return;
  reading_ = true;
  for (QPushButton* button : {read_, previous_, next_}) button->setEnabled(false);
  note_->setText(QStringLiteral("Reading..."));
  // Answered on this thread once the worker has read; the dialog stays
  // until then (it cannot close while reading).
  view_.ReadSectors(first, static_cast<std::uint32_t>(count_->value()),
                    [this](const wizard::SectorBytes& read) { Show(read); });
}

void DiskSectorsDialog::Show(const wizard::SectorBytes& read) {
  reading_ = false;
  for (QPushButton* button : {read_, previous_, next_}) button->setEnabled(true);
  shownFirst_ = read.firstSector;
  start_->setText(QString::number(read.firstSector));
  const std::uint64_t base = read.firstSector * kSectorSize;
  std::string pages;
  for (std::size_t offset = 0; offset < read.bytes.size(); offset += wizard::kHexPageBytes) {
    pages += wizard::HexPage(read.bytes, offset, base);
  }
  hex_->setPlainText(ToQString(pages));
  const std::uint64_t sectors = read.bytes.size() / kSectorSize;
  QString note = sectors == 0 ? QString()
                              : QStringLiteral("Sectors %1 to %2 of %3 (offsets are the disk's bytes)")
                                    .arg(read.firstSector)
                                    .arg(read.firstSector + sectors - 1)
                                    .arg(ToQString(view_.DiskName()));
  if (!read.error.empty()) note += (note.isEmpty() ? QString() : QStringLiteral("; ")) + ToQString(read.error);
  note_->setText(note);
}

void DiskSectorsDialog::reject() {
  // Not while a read runs: its answer comes to this dialog.
  if (!reading_) QDialog::reject();
}

}  // namespace salvex::gui
