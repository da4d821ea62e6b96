#include "gui/preview_pane.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QLineEdit>
#include <QStackedWidget>
#include <QToolButton>
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

  // How to look at the bytes: the picture, the text or the hex, whichever
  // the file allows; the choice holds for the files that follow.
  auto* modes = new QHBoxLayout;
  const auto modeButton = [this, modes](const char* text, const char* name, Shown mode) {
    auto* button = new QToolButton(this);
    button->setText(QString::fromLatin1(text));
    button->setObjectName(QString::fromLatin1(name));
    button->setCheckable(true);
    button->setAutoExclusive(true);
    button->setEnabled(false);
    connect(button, &QToolButton::clicked, this, [this, mode] {
      chosenMode_ = mode;
      ShowMode(mode);
    });
    modes->addWidget(button);
    return button;
  };
  pictureButton_ = modeButton("&Image", "previewPictureButton", Shown::picture);
  textButton_ = modeButton("&Text", "previewTextButton", Shown::text);
  hexButton_ = modeButton("&Hex", "previewHexButton", Shown::hex);
  modes->addStretch(1);
  goTo_ = new QLineEdit(this);
  goTo_->setObjectName(QStringLiteral("previewGoToField"));
  goTo_->setPlaceholderText(QStringLiteral("Go to offset"));
  goTo_->setToolTip(QStringLiteral("Decimal, or hex as 0x1F00: the hex view goes to the line that holds it"));
  goTo_->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0x00000000")) + 30);
  goTo_->setMinimumWidth(60);
  connect(goTo_, &QLineEdit::returnPressed, this, [this] { GoTo(goTo_->text().toStdString()); });
  modes->addWidget(goTo_);

  extent_ = new QLabel(this);
  extent_->setObjectName(QStringLiteral("previewExtent"));
  extent_->setWordWrap(true);
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
  column->addLayout(modes);
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
  EnableModes(false, false);
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
  text_->clear();
  textPreview_.reset();
  EnableModes(false, false);
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
  extentText_ = extent;
  extent_->setText(extent);
  textPreview_ = wizard::PreviewText(bytes_.bytes);
  hexOffset_ = 0;
  EnableModes(!image_.isNull(), textPreview_.has_value());
  // The way chosen last, where this file allows it; else the picture, the
  // text, the hex, in that order.
  const bool chosenFits = (chosenMode_ == Shown::picture && !image_.isNull()) ||
                          (chosenMode_ == Shown::text && textPreview_) || chosenMode_ == Shown::hex;
  if (chosenFits) {
    ShowMode(chosenMode_);
  } else {
    ShowMode(!image_.isNull() ? Shown::picture : textPreview_ ? Shown::text : Shown::hex);
  }
}

void PreviewPane::EnableModes(bool picture, bool text) {
  const bool bytes = shown_ != Shown::nothing && shown_ != Shown::waiting;
  pictureButton_->setEnabled(bytes && picture);
  textButton_->setEnabled(bytes && text);
  hexButton_->setEnabled(bytes);
  goTo_->setEnabled(bytes);
}

void PreviewPane::ShowMode(Shown mode) {
  if (position_ == std::nullopt && bytes_.bytes.empty()) return;
  shown_ = mode;
  previous_->setVisible(mode == Shown::hex);
  next_->setVisible(mode == Shown::hex);
  pictureButton_->setChecked(mode == Shown::picture);
  textButton_->setChecked(mode == Shown::text);
  hexButton_->setChecked(mode == Shown::hex);
  EnableModes(!image_.isNull(), textPreview_.has_value());
  switch (mode) {
    case Shown::picture:
      pages_->setCurrentWidget(picture_);
      FitPicture();
      return;
    case Shown::text:
      text_->setPlainText(ToQString(textPreview_.value_or(std::string())));
      pages_->setCurrentWidget(text_);
      return;
    default:
      pages_->setCurrentWidget(text_);
      ShowHexPage(hexOffset_);
      return;
  }
}

bool PreviewPane::GoTo(const std::string& offsetText) {
  const auto offset = wizard::ParseOffsetText(offsetText);
  if (!offset || shown_ == Shown::nothing || shown_ == Shown::waiting) return false;
  if (*offset >= bytes_.bytes.size()) {
    extent_->setText(extentText_ + QStringLiteral("; offset %1 lies past the bytes read").arg(*offset));
    return false;
  }
  extent_->setText(extentText_);
  chosenMode_ = Shown::hex;
  hexOffset_ = static_cast<std::size_t>(*offset);
  ShowMode(Shown::hex);
  return true;
}

void PreviewPane::ShowHexPage(std::size_t offset) {
  if (offset >= bytes_.bytes.size() && offset != 0) return;
  hexOffset_ = offset - offset % 16;
  text_->setPlainText(ToQString(wizard::HexPage(bytes_.bytes, offset)));
  previous_->setVisible(true);
  next_->setVisible(true);
  previous_->setEnabled(offset > 0);
  next_->setEnabled(hexOffset_ + wizard::kHexPageBytes < bytes_.bytes.size());
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
