#pragma once

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "session/item_bytes.h"

class QLabel;
class QLineEdit;
class QToolButton;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;

namespace salvex::wizard {
class ItemListModel;
class PreviewReader;
}  // namespace salvex::wizard

namespace salvex::gui {

// What the reader's thread makes of a file's bytes before the window sees
// them: a picture, when Qt reads one from them (scaled down to at most
// kMaxPreviewSide on its longer side).
struct PreviewBytes {
  ItemBytes read;
  QImage picture;
};
PreviewBytes DecodePreview(ItemBytes read);
inline constexpr int kMaxPreviewSide = 2048;

// Beside the item list: the selected file's first bytes as a picture scaled
// to fit, as text, or as hex pages, under its warning (deleted, overwritten,
// worked out) and over a line saying how much of it is shown. The bytes are
// asked of a PreviewReader; only the newest request's answer is drawn.
class PreviewPane final : public QWidget {
  Q_OBJECT

 public:
  // What reading file `position` of the store takes, made on this thread.
  using RequestOf = std::function<ItemReadRequest(std::uint32_t position)>;

  PreviewPane(wizard::PreviewReader& reader, RequestOf requestOf, QWidget* parent = nullptr);

  // File row `row` of `rows`: asks for its bytes, and says so meanwhile.
  void ShowFile(const wizard::ItemListModel& rows, std::size_t row);
  // No file to show (a folder, nothing selected); any read is cancelled.
  void ShowNothing();
  // The reader's answer to `ticket`, on this thread.
  void Take(std::uint64_t ticket, PreviewBytes bytes);

  enum class Shown { nothing, waiting, picture, text, hex };
  Shown Showing() const { return shown_; }
  // The store position of the file shown (or being read); none for nothing.
  std::optional<std::uint32_t> ShownPosition() const { return position_; }
  QLabel& Warning() const { return *warning_; }
  QLabel& Picture() const { return *picture_; }
  QPlainTextEdit& Text() const { return *text_; }
  QLabel& Extent() const { return *extent_; }
  QPushButton& NextPage() const { return *next_; }
  QToolButton& HexButton() const { return *hexButton_; }
  QToolButton& TextButton() const { return *textButton_; }
  QToolButton& PictureButton() const { return *pictureButton_; }
  // "Go to offset": the hex page that holds it, when it lies in the bytes
  // read; false (and said under the bytes) otherwise.
  bool GoTo(const std::string& offsetText);
  std::size_t HexOffset() const { return hexOffset_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowHexPage(std::size_t offset);
  // The picture, the text or the hex of the bytes read.
  void ShowMode(Shown mode);
  void EnableModes(bool picture, bool text);
  void FitPicture();

  wizard::PreviewReader& reader_;
  RequestOf requestOf_;
  QLabel* warning_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  QLabel* picture_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
  QLabel* extent_ = nullptr;
  QPushButton* previous_ = nullptr;
  QPushButton* next_ = nullptr;
  QToolButton* pictureButton_ = nullptr;
  QToolButton* textButton_ = nullptr;
  QToolButton* hexButton_ = nullptr;
  QLineEdit* goTo_ = nullptr;
  QString extentText_;
  std::optional<std::string> textPreview_;
  // The way of looking the user chose last; the automatic one until then.
  Shown chosenMode_ = Shown::nothing;
  Shown shown_ = Shown::nothing;
  std::uint64_t ticket_ = 0;
  std::optional<std::uint32_t> position_;
  std::uint64_t size_ = 0;
  std::size_t hexOffset_ = 0;
  ItemBytes bytes_;
  QImage image_;
};

}  // namespace salvex::gui
