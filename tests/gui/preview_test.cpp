// The preview pane on its own, over a reader whose reads the test makes: a
// picture, UTF-16 text and hex pages, the warning of a deleted file whose
// clusters were taken, and a newer selection while a slow read is in flight.

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QRandomGenerator>
#include <QTest>

#include <atomic>
#include <chrono>
#include <map>
#include <thread>

#include "gui/file_types.h"
#include "gui/preview_pane.h"
#include "wizard/item_list_model.h"
#include "wizard/preview_reader.h"
#include "window_flow_test.h"

namespace salvex::testing {
namespace {

using Shown = gui::PreviewPane::Shown;

std::vector<std::uint8_t> JpegBytes(int width, int height, bool noise) {
  QImage image(width, height, QImage::Format_RGB32);
  QRandomGenerator random(7);
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) line[x] = noise ? random.generate() : qRgb(x % 256, y % 256, 128);
  }
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPEG", 92);
  return {data.begin(), data.end()};
}

std::vector<std::uint8_t> Utf16Text(const QString& text) {
  std::vector<std::uint8_t> bytes = {0xFF, 0xFE};
  for (const QChar c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c.unicode() & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c.unicode() >> 8));
  }
  return bytes;
}

// Handles events until the pane shows `kind`, for at most five seconds: a
// finer clock than QTRY_COMPARE's steps, for the times the tests print.
bool WaitUntilShowing(const gui::PreviewPane& pane, Shown kind) {
  QElapsedTimer waited;
  waited.start();
  while (pane.Showing() != kind && waited.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return pane.Showing() == kind;
}

// A store of files with the given names and bytes, listed as one folder,
// and a pane whose reader hands back those bytes; `slow` names a file whose
// read lasts until it is cancelled.
class PreviewBench {
 public:
  explicit PreviewBench(std::map<std::string, std::vector<std::uint8_t>> files, std::string slow = "")
      : files_(std::move(files)), slow_(std::move(slow)) {
    for (const auto& [name, bytes] : files_) {
      store_.AddFatFile(name, 10, 0, 0x359C, 0x359C, static_cast<std::uint32_t>(bytes.size()), false);
    }
    rows_.ShowFolder(wizard::ItemSource::fat, 0, FilterTable{});
  }

  std::size_t RowOf(const std::string& name) const {
    for (std::size_t row = 0; row < rows_.RowCount(); ++row) {
      if (rows_.Name(row) == name) return row;
    }
    return 0;
  }
  FatFileItem& File(const std::string& name) { return store_.FatFiles().At(rows_.At(RowOf(name)).position); }
  void Show(const std::string& name) { pane_.ShowFile(rows_, RowOf(name)); }
  gui::PreviewPane& Pane() { return pane_; }
  bool SlowReadStarted() const { return slowStarted_; }
  bool SlowReadCancelled() const { return slowCancelled_; }

 private:
  ItemBytes Read(const ItemReadRequest& item, RecoveryRunState& run) {
    if (item.request.name == slow_) {
      slowStarted_ = true;
      for (int wait = 0; wait < 500 && !run.stopSaving; ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      slowCancelled_ = run.stopSaving.load();
    }
    const std::vector<std::uint8_t>& bytes = files_.at(item.request.name);
    return ItemBytes{bytes, !run.stopSaving, 0, ""};
  }

  std::map<std::string, std::vector<std::uint8_t>> files_;
  std::string slow_;
  std::atomic<bool> slowStarted_{false};
  std::atomic<bool> slowCancelled_{false};
  ItemStore store_;
  HitLists hits_;
  wizard::ItemListModel rows_{store_, hits_, [](std::string_view) { return std::string("File"); }};
  wizard::PreviewReader reader_{[this](const ItemReadRequest& item, RecoveryRunState& run) { return Read(item, run); },
                                [this](std::uint64_t ticket, ItemBytes bytes) {
                                  auto decoded = std::make_shared<gui::PreviewBytes>(gui::DecodePreview(std::move(bytes)));
                                  QMetaObject::invokeMethod(
                                      &pane_, [this, ticket, decoded] { pane_.Take(ticket, std::move(*decoded)); },
                                      Qt::QueuedConnection);
                                }};
  gui::PreviewPane pane_{reader_, [this](std::uint32_t position) {
                           ItemReadRequest item;
                           item.request.name = store_.FatFiles().Items()[position].name;
                           return item;
                         }};
};

}  // namespace

void PreviewTest::PreviewShowsPicturesTextAndHexPages() {
  std::vector<std::uint8_t> binary(10000);
  for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<std::uint8_t>(i * 31);
  PreviewBench bench({{"photo.jpg", JpegBytes(320, 240, false)},
                      {"notes.txt", Utf16Text(QStringLiteral("Grüße aus Köln\nzweite Zeile\n"))},
                      {"data.bin", binary}});
  gui::PreviewPane& pane = bench.Pane();
  pane.resize(400, 300);

  bench.Show("photo.jpg");
  QTRY_COMPARE(pane.Showing(), Shown::picture);
  QVERIFY(!pane.Picture().pixmap().isNull());
  QVERIFY(pane.Extent().text().startsWith(QStringLiteral("The whole file")));

  bench.Show("notes.txt");
  QTRY_COMPARE(pane.Showing(), Shown::text);
  QVERIFY(pane.Text().toPlainText().startsWith(QStringLiteral("Grüße aus Köln\nzweite Zeile")));

  bench.Show("data.bin");
  QTRY_COMPARE(pane.Showing(), Shown::hex);
  QVERIFY(pane.Text().toPlainText().startsWith(QStringLiteral("00000000  00 1F 3E 5D")));
  QVERIFY(pane.NextPage().isEnabled());
  pane.NextPage().click();
  QVERIFY(pane.Text().toPlainText().startsWith(QStringLiteral("00001000 ")));
  pane.NextPage().click();
  QVERIFY(pane.Text().toPlainText().startsWith(QStringLiteral("00002000 ")));
  QVERIFY2(!pane.NextPage().isEnabled(), "10,000 bytes make three pages");
  QVERIFY(pane.Warning().isHidden());
}

void PreviewTest::PreviewOfADeletedOverwrittenFileWarnsAboveIt() {
  PreviewBench bench({{"gone.txt", {'o', 't', 'h', 'e', 'r'}}});
  bench.File("gone.txt").deleted = true;
  bench.File("gone.txt").overwritten = true;
  bench.Show("gone.txt");
  QTRY_COMPARE(bench.Pane().Showing(), Shown::text);
  QVERIFY(!bench.Pane().Warning().isHidden());
  const QString warning = bench.Pane().Warning().text();
  QVERIFY(warning.startsWith(QStringLiteral("Deleted")));
  QVERIFY(warning.contains(QString::fromUtf8(wizard::kOverwrittenToolTip)));
}

void PreviewTest::PreviewFollowsTheNewestSelectionWhileASlowReadIsInFlight() {
  PreviewBench bench({{"slow.bin", std::vector<std::uint8_t>(100, 0x01)}, {"fast.txt", {'f', 'a', 's', 't'}}},
                     "slow.bin");
  bench.Show("slow.bin");
  QTRY_VERIFY(bench.SlowReadStarted());
  QElapsedTimer shown;
  shown.start();
  bench.Show("fast.txt");
  QVERIFY(WaitUntilShowing(bench.Pane(), Shown::text));
  QCOMPARE(bench.Pane().Text().toPlainText(), QStringLiteral("fast"));
  QVERIFY(bench.SlowReadCancelled());
  qInfo("newer selection shown %lld ms after it was made, the slow read cancelled", shown.elapsed());
  // The slow file's bytes, had they come, would have been dropped as stale.
  QTest::qWait(50);
  QCOMPARE(bench.Pane().Text().toPlainText(), QStringLiteral("fast"));
}

// Image, text or hex, as the file allows; the way chosen holds for the files
// after; Go to offset leads to the hex line that holds it, within the bytes
// read.
void PreviewTest::HexViewIsChosenAndGoesToAnOffset() {
  std::vector<std::uint8_t> binary(10000);
  for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<std::uint8_t>(i * 7);
  PreviewBench bench({{"notes.txt", {'p', 'l', 'a', 'i', 'n'}}, {"data.bin", binary}});
  gui::PreviewPane& pane = bench.Pane();
  bench.Show("notes.txt");
  QTRY_COMPARE(pane.Showing(), Shown::text);
  QVERIFY(pane.TextButton().isChecked() && !pane.PictureButton().isEnabled());
  pane.HexButton().click();
  QCOMPARE(pane.Showing(), Shown::hex);
  QVERIFY(pane.Text().toPlainText().startsWith(QStringLiteral("00000000  70 6C 61 69 6E")));
  QVERIFY(pane.Text().toPlainText().contains(QStringLiteral("plain")));  // the ASCII column

  bench.Show("data.bin");
  QTRY_COMPARE(pane.Showing(), Shown::hex);
  const struct {
    const char* typed;
    bool goes;
    std::size_t line;
  } offsets[] = {{"0x2010", true, 0x2010}, {"8195", true, 8192}, {"2013h", true, 0x2010},
                 {"20000", false, 0x2010}, {"0xZZ", false, 0x2010}};
  for (const auto& o : offsets) {
    QCOMPARE(pane.GoTo(o.typed), o.goes);
    QCOMPARE(pane.HexOffset(), o.line);
    QVERIFY(pane.Text().toPlainText().startsWith(QStringLiteral("%1 ").arg(o.line, 8, 16, QLatin1Char('0')).toUpper()));
  }
  QVERIFY(pane.Extent().text().contains(QStringLiteral("lies past the bytes read")));
  // The text view again: the next text file shows as text.
  bench.Show("notes.txt");
  QTRY_COMPARE(pane.Showing(), Shown::hex);
  pane.TextButton().click();
  QCOMPARE(pane.Text().toPlainText(), QStringLiteral("plain"));
}

void PreviewTest::PreviewOfA2MegabyteJpegTime() {
  const std::vector<std::uint8_t> photo = JpegBytes(2000, 1400, true);
  QVERIFY(photo.size() > 2'000'000);
  PreviewBench bench({{"big.jpg", photo}});
  bench.Pane().resize(500, 400);
  QElapsedTimer timer;
  timer.start();
  bench.Show("big.jpg");
  QVERIFY(WaitUntilShowing(bench.Pane(), Shown::picture));
  qInfo("preview of a %zu-byte JPEG: %lld ms from selection to picture (read by a fake, decoded, scaled)",
        photo.size(), timer.elapsed());
}

}  // namespace salvex::testing
