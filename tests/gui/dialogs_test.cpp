// The window's dialogs on their own, on the offscreen platform: what they
// show when they open, what OK and Cancel keep, and their refusals.

#include <QComboBox>
#include <QProgressBar>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QRadioButton>
#include <QTest>

#include "box_answerer.h"
#include "gui/disk_sectors_dialog.h"
#include "gui/file_filters_dialog.h"
#include "gui/imaging_dialog.h"
#include "gui/recovery_settings_dialog.h"
#include "gui/saving_dialog.h"
#include "trimming_progress.h"
#include "window_flow_test.h"

namespace salvex::testing {
namespace {

QRadioButton* Option(QWidget& dialog, const char* text) {
  for (QRadioButton* option : dialog.findChildren<QRadioButton*>()) {
    if (option->text() == QLatin1String(text)) return option;
  }
  return nullptr;
}

// Types a filter and clicks "&Add".
void AddFilter(gui::FileFiltersDialog& dialog, const QString& text) {
  dialog.FilterField().setText(text);
  QTest::mouseClick(&dialog.AddButton(), Qt::LeftButton);
}

}  // namespace

void DialogsTest::SettingsOpenWithTheValuesAndCancelKeepsThem() {
  RecoverySettings settings;
  for (const bool ok : {false, true}) {
    gui::RecoverySettingsDialog dialog(settings);
    auto* sectors = dialog.findChild<QComboBox*>(QStringLiteral("sectorsList"));
    auto* retries = dialog.findChild<QComboBox*>(QStringLiteral("retriesList"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Recovery Settings"));
    QCOMPARE(sectors->count(), 100);
    QCOMPARE(retries->count(), 10);
    QCOMPARE(sectors->currentText(), QStringLiteral("60"));
    QCOMPARE(retries->currentText(), QStringLiteral("3"));
    QVERIFY(Option(dialog, "Rename duplicate file(s)")->isChecked());
    QVERIFY(Option(dialog, "Include deleted file(s)")->isChecked());

    sectors->setCurrentIndex(99);
    retries->setCurrentIndex(0);
    Option(dialog, "Skip duplicate file(s)")->click();
    Option(dialog, "Recover only deleted file(s)")->click();
    QPushButton* button = dialog.findChild<QPushButton*>(ok ? QStringLiteral("okButton") : QStringLiteral("cancelButton"));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(dialog.result(), ok ? int(QDialog::Accepted) : int(QDialog::Rejected));
    if (ok) break;
    // Cancel after changing every control: all four values stay.
    QCOMPARE(settings.sectorsPerRead, 60u);
    QCOMPARE(settings.badSectorRetries, std::uint16_t{3});
    QCOMPARE(settings.duplicateMode, DuplicateMode::renameDuplicate);
    QCOMPARE(settings.deletedMode, DeletedMode::includeDeleted);
  }
  QCOMPARE(settings.sectorsPerRead, 100u);
  QCOMPARE(settings.badSectorRetries, std::uint16_t{1});
  QCOMPARE(settings.duplicateMode, DuplicateMode::skipDuplicate);
  QCOMPARE(settings.deletedMode, DeletedMode::onlyDeleted);
}

void DialogsTest::FiltersAreRefusedWithTheirMessagesAndListedNewestFirst() {
  BoxAnswerer boxes;
  FilterTable table;
  gui::FileFiltersDialog dialog(table);
  dialog.show();
  QVERIFY(dialog.AddButton().isDefault());

  const struct {
    QString typed;
    const char* refusal;  // null: added
  } cases[] = {
      {QString(20, QLatin1Char('A')), "      Filter too long     "},
      {QString(19, QLatin1Char('A')), nullptr},
      {QString(), "      You can not add a blank entry.     "},
      {QStringLiteral("*.DOC"), nullptr},
      {QStringLiteral("*.DOC"), "      Filter already exists in the list     "},
      {QStringLiteral("*.doc"), nullptr},  // case counts
  };
  for (const auto& c : cases) {
    const std::size_t seen = boxes.seen.size();
    AddFilter(dialog, c.typed);
    if (c.refusal == nullptr) {
      QCOMPARE(boxes.seen.size(), seen);
      QCOMPARE(dialog.List().item(0)->text(), c.typed);
      QVERIFY(dialog.FilterField().text().isEmpty());
      continue;
    }
    QTRY_COMPARE(boxes.seen.size(), seen + 1);
    QCOMPARE(boxes.LastText(), QString::fromLatin1(c.refusal));
  }
  // The text too long had its first 19 characters selected.
  AddFilter(dialog, QStringLiteral("0123456789012345678X"));
  QTRY_COMPARE(dialog.FilterField().selectedText(), QStringLiteral("0123456789012345678"));

  // Up to 99 filters; the 100th is refused.
  for (int n = dialog.List().count(); n < 99; ++n) AddFilter(dialog, QStringLiteral("F%1").arg(n));
  QCOMPARE(dialog.List().count(), 99);
  AddFilter(dialog, QStringLiteral("ONE.MORE"));
  QTRY_COMPARE(boxes.LastText(), QStringLiteral("      You cannot add more Filters     "));
  QCOMPARE(dialog.List().count(), 99);

  // Remove takes the selected one; Close hands the list over, newest first.
  dialog.List().setCurrentRow(0);
  QTest::mouseClick(&dialog.RemoveButton(), Qt::LeftButton);
  QCOMPARE(dialog.List().count(), 98);
  QTest::mouseClick(&dialog.CloseButton(), Qt::LeftButton);
  QCOMPARE(table.FilterCount(), std::size_t{98});
  QCOMPARE(table.Filters()[0], std::string("F97"));
  QCOMPARE(table.Filters()[95], std::string("*.doc"));
  QCOMPARE(table.Filters()[97], std::string(19, 'A'));
}

}  // namespace salvex::testing

namespace salvex::testing {

// The worker's progress reaches the fields a moment later, the rate and
// time left only once steady; Stop, the close box and Esc raise the flag
// and leave the dialog open until the run ends.
void DialogsTest::ImagingShowsTheLatestProgressAndStopOnlyRaisesTheFlag() {
  struct Case {
    std::chrono::seconds elapsed;
    const char* copied;
  };
  for (const Case c : {Case{std::chrono::seconds(1), "1.0 GiB of 2.0 GiB copied"},
                       Case{std::chrono::seconds(64), "1.0 GiB of 2.0 GiB copied - 1:04 remaining (16.0 MiB/s)"}}) {
    std::atomic<bool> stop{false};
    gui::ImagingDialog dialog("/dev/sdz", stop);
    dialog.show();
    const ImagingProgress progress = TrimmingProgress({.extent = 2ULL << 30,
                                                       .rescued = 1ULL << 30,
                                                       .badBytes = 1536,
                                                       .badAreas = 3,
                                                       .readErrors = 7,
                                                       .elapsed = c.elapsed});
    dialog.Progress(ImagingProgress{});
    dialog.Progress(progress);  // only the latest is drawn
    QTRY_COMPARE(dialog.PhaseField().text(), QStringLiteral("Trimming"));
    QCOMPARE(dialog.CopiedField().text(), QString::fromLatin1(c.copied));
    QCOMPARE(dialog.BadAreasField().text(), QStringLiteral("3 bad area(s), 1.5 KiB; 7 read error(s)"));
    QCOMPARE(dialog.Bar().value(), 50);
    QTest::mouseClick(&dialog.StopButton(), Qt::LeftButton);
    QVERIFY(stop);
    stop = false;
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(stop);
    QVERIFY(dialog.isVisible());
    dialog.Finish();
    QVERIFY(!dialog.isVisible());
  }
}

// Many small files move the file's own bar from 0 to 100 too fast to see:
// the second bar says how far the whole run is.
void DialogsTest::SavingShowsTheWholeRunsProgress() {
  RecoveryRunState run;
  run.filesToWrite = 200000;
  run.bytesToWrite = 4 << 20;
  gui::SavingDialog dialog(run);
  run.filesCreated = 50000;
  run.bytesCopied = 1 << 20;
  dialog.SetTotalFiles(49999);  // the count before the file being written
  dialog.Finish();
  QCOMPARE(dialog.TotalFilesField().text(), QStringLiteral("50000"));  // the bar's count: one number
  QCOMPARE(dialog.Overall().value(), 25);
  QVERIFY2(dialog.Overall().text().startsWith(QStringLiteral("50000 of 200000 files, 1.0 MB of 4.0 MB, 25%")),
           qPrintable(dialog.Overall().text()));
}

// View Disk Sectors: the sectors asked for in hex at their disk offsets;
// Next goes on by the count; a read waits for the wizard's answer, and the
// dialog will not close while it waits.
void DialogsTest::DiskSectorsShowTheirBytesAtTheirOffsets() {
  std::vector<std::pair<std::uint64_t, std::uint32_t>> asked;
  wizard::DiskSectorView::Done pending;
  wizard::DiskSectorView view("/dev/sdz", 100000, [&](std::uint64_t first, std::uint32_t count,
                                                       wizard::DiskSectorView::Done done) {
    asked.emplace_back(first, count);
    pending = std::move(done);
  });
  const auto answer = [&] {
    wizard::SectorBytes read;
    read.firstSector = asked.back().first;
    read.bytes.assign(std::size_t{asked.back().second} * 512, 0x41);
    pending(read);
  };
  gui::DiskSectorsDialog dialog(view);
  dialog.show();
  dialog.StartField().setText(QStringLiteral("0x800"));
  dialog.CountBox().setValue(2);
  QTest::mouseClick(&dialog.ReadButton(), Qt::LeftButton);
  QVERIFY(dialog.Reading());
  QTest::keyClick(&dialog, Qt::Key_Escape);
  QVERIFY(dialog.isVisible());
  answer();
  QCOMPARE(asked.back(), (std::pair<std::uint64_t, std::uint32_t>{0x800, 2}));
  const QString hex = dialog.Hex().toPlainText();
  QVERIFY2(hex.startsWith(QStringLiteral("00100000  41 41")), qPrintable(hex.left(80)));
  QVERIFY(hex.contains(QStringLiteral("\n001003F0 ")));  // the second sector's last line
  QVERIFY(hex.contains(QStringLiteral("AAAAAAAAAAAAAAAA")));
  for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
    if (button->text() == QStringLiteral("&Next")) QTest::mouseClick(button, Qt::LeftButton);
  }
  QCOMPARE(asked.back(), (std::pair<std::uint64_t, std::uint32_t>{0x802, 2}));
  answer();
  QCOMPARE(dialog.StartField().text(), QStringLiteral("2050"));
}

}  // namespace salvex::testing
