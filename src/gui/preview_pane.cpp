#include "gui/preview_pane.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "gui/qt_text.h"
#include "wizard/item_list_model.h"
#include "wizard/preview_content.h"
#include "wizard/preview_reader.h"

namespace salvex::gui {

PreviewBytes DecodePreview(ItemBytes read) {
  PreviewBytes decoded;
  QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(read.bytes.data()),
                                            static_cast<qsizetype>(read.bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setAutoTransform(true);
  if (reader.canRead()) {
    const QSize size = reader.size();
    // Decoded at the size shown where the format can (JPEG), never at a
    // camera's full forty megapixels.
    if (size.isValid() && std::max(size.width(), size.height()) > kMaxPreviewSide) {
      reader.setScaledSize(size.scaled(kMaxPreviewSide, kMaxPreviewSide, Qt::KeepAspectRatio));
    }
    decoded.picture = reader.read();
  }
  decoded.read = std::move(read);
  return decoded;
}

PreviewPane::PreviewPane(wizard::PreviewReader& reader, RequestOf requestOf, QWidget* parent)
    : QWidget(parent), reader_(reader), requestOf_(std::move(requestOf)) {
  setObjectName(QStringLiteral("previewPane"));
  warning_ = new QLabel(this);
  warning_->setObjectName(QStringLiteral("previewWarning"));
  warning_->setWordWrap(true);
  warning_->setStyleSheet(QStringLiteral("QLabel { color: #a00000; font-weight: bold; }"));
  warning_->hide();

  picture_ = new QLabel(this);
  picture_->setAlignment(Qt::AlignCenter);
  picture_->setMinimumSize(64, 64);
  text_ = new QPlainTextEdit(this);
  text_->setObjectName(QStringLiteral("previewText"));
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  // Framed and white as the list beside it, so the pane reads as one even
  // with nothing in it.
  auto* blank = new QLabel(QStringLiteral("Select a file to preview it"), this);
  blank->setAlignment(Qt::AlignCenter);
  blank->setWordWrap(true);
  blank->setObjectName(QStringLiteral("previewBlank"));
  blank->setFrameShape(QFrame::StyledPanel);
  blank->setAutoFillBackground(true);
  blank->setBackgroundRole(QPalette::Base);
  blank->setForegroundRole(QPalette::PlaceholderText);
  pages_ = new QStackedWidget(this);
  pages_->addWidget(blank);
  pages_->addWidget(picture_);
  pages_->addWidget(text_);

  extent_ = new QLabel(this);
  extent_->setObjectName(QStringLiteral("previewExtent"));
  previous_ = new QPushButton(QStringLiteral("&Previous Page"), this);
  next_ = new QPushButton(QStringLiteral("Ne&xt Page"), this);
  connect(previous_, &QPushButton::clicked, this, [this] {
    ShowHexPage(hexOffset_ >= wizard::kHexPageBytes ? hexOffset_ - wizard::kHexPageBytes : 0);
  });
  connect(next_, &QPushButton::clicked, this, [this] { ShowHexPage(hexOffset_ + wizard::kHexPageBytes); });
  auto* foot = new QHBoxLayout;
  foot->addWidget(extent_, 1);
  foot->addWidget(previous_);
  foot->addWidget(next_);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(warning_);
  column->addWidget(pages_, 1);
  column->addLayout(foot);
  ShowNothing();
}

void PreviewPane::ShowFile(const wizard::ItemListModel& rows, std::size_t row) {
  // The file shown already, asked again as the selection settles: kept.
  if (position_ == rows.At(row).position && shown_ != Shown::nothing) return;
  position_ = rows.At(row).position;
  const std::string warning = wizard::PreviewWarning(rows, row);
  warning_->setText(ToQString(warning));
  warning_->setVisible(!warning.empty());
  size_ = rows.FileSize(row);
  shown_ = Shown::waiting;
  pages_->setCurrentIndex(0);
  extent_->setText(QStringLiteral("Reading..."));
  previous_->hide();
  next_->hide();
  ticket_ = reader_.Request(requestOf_(rows.At(row).position));
}

void PreviewPane::ShowNothing() {
  reader_.Cancel();
  ticket_ = 0;
  position_.reset();
  shown_ = Shown::nothing;
  warning_->hide();
  pages_->setCurrentIndex(0);
  extent_->clear();
  previous_->hide();
  next_->hide();
  bytes_ = {};
  image_ = {};
}

void PreviewPane::Take(std::uint64_t ticket, PreviewBytes bytes) {
  if (ticket != ticket_ || ticket != reader_.Newest()) return;
  bytes_ = std::move(bytes.read);
  image_ = std::move(bytes.picture);
  QString extent = ToQString(wizard::PreviewExtent(bytes_.bytes.size(), size_, bytes_.whole));
  if (!bytes_.error.empty()) extent += QStringLiteral(" (") + ToQString(bytes_.error) + QStringLiteral(")");
  if (bytes_.unreadableSectors > 0) {
    extent += QStringLiteral("; %1 unreadable sector(s) read as zeros").arg(bytes_.unreadableSectors);
  }
  extent_->setText(extent);
  if (!image_.isNull()) {
    shown_ = Shown::picture;
    pages_->setCurrentWidget(picture_);
    FitPicture();
    return;
  }
  if (const auto text = wizard::PreviewText(bytes_.bytes)) {
    shown_ = Shown::text;
    text_->setPlainText(ToQString(*text));
    pages_->setCurrentWidget(text_);
    return;
  }
  shown_ = Shown::hex;
  pages_->setCurrentWidget(text_);
  ShowHexPage(0);
}

void PreviewPane::ShowHexPage(std::size_t offset) {
  if (offset >= bytes_.bytes.size() && offset != 0) return;
  hexOffset_ = offset;
  text_->setPlainText(ToQString(wizard::HexPage(bytes_.bytes, offset)));
  previous_->setVisible(true);
  next_->setVisible(true);
  previous_->setEnabled(offset > 0);
  next_->setEnabled(offset + wizard::kHexPageBytes < bytes_.bytes.size());
}

void PreviewPane::FitPicture() {
  if (image_.isNull()) return;
  const QSize room = picture_->size().boundedTo(image_.size());
  picture_->setPixmap(QPixmap::fromImage(image_.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void PreviewPane::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (shown_ == Shown::picture) FitPicture();
}

}  // namespace salvex::gui
