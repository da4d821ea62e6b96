// Find File(s) with "containing text" in the real window, on the offscreen
// platform, on an image made by sfdisk, mkfs.fat and mtools: the search runs
// on the window's worker, and the list says where each file (and the free
// space) holds the text.

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <map>

#include "box_answerer.h"
#include "gui/find_files_dialog.h"
#include "gui/gui_program.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"
#include "window_driver.h"
#include "window_flow_test.h"
#include "wizard/content_search_texts.h"

namespace salvex::testing {
namespace {

constexpr std::uint32_t kFatStart = 2048;

// `bytes` with `text` written over them at `offset`.
std::string WithText(std::string bytes, std::size_t offset, const std::string& text) {
  bytes.replace(offset, text.size(), text);
  return bytes;
}

std::string Utf16(const std::string& ascii) {
  std::string units;
  for (const char c : ascii) units += std::string{c, '\0'};
  return units;
}

// Each row of the list by its File Name: its Offset and Hits cells.
std::multimap<QString, QStringList> Listed(const QTableView& table) {
  std::multimap<QString, QStringList> rows;
  const QAbstractItemModel& model = *table.model();
  for (int row = 0; row < model.rowCount(); ++row) {
    rows.emplace(model.index(row, 0).data().toString(),
                 QStringList{model.index(row, 3).data().toString(), model.index(row, 4).data().toString()});
  }
  return rows;
}

}  // namespace

void DialogsTest::FindByContentSaysWhereEachFileHoldsTheText() {
  if (!HaveTools({"sfdisk", "mkfs.fat", "mcopy", "mmd", "mdel"})) QSKIP("needs sfdisk, mkfs.fat and mtools");
  TempDir dir;
  const std::filesystem::path image = dir / "find.img";
  DiskPlan plan;
  plan.totalSectors = 81920;
  plan.partitions = {{VolumeKind::fat32, false, kFatStart, 69632, 0x0C, 1, "FIND"}};
  BuildDisk(image, plan);
  MtoolsVolume volume(image, kFatStart, dir.Path());
  const std::int64_t time = NoonUtc({2021, 3, 4});
  volume.CopyFiles("", {{"notes.txt", WithText(HighBytes("notes", 3000), 2049, Utf16("Needle")), time},
                        {"plain.bin", HighBytes("plain", 5000), time},
                        {"gone-away.txt", WithText(HighBytes("gone", 1500), 100, "NEEDLE"), time}});
  volume.Delete({"gone-away.txt"});

  BoxAnswerer boxes;  // the scan's closing notice
  gui::GuiProgram program(gui::GuiProgram::Settings{{image.string()}, dir.Path().string(), ""});
  program.Window().SetQuitAction([](int) {});
  program.Start();
  WindowDriver drive(program);
  QVERIFY(QTest::qWaitForWindowActive(&drive.Window()));
  QVERIFY(drive.ScanFirstPartition());

  // The dialog runs its own loop: the test goes on from a timer inside it,
  // and closes the dialog whatever the checks found.
  bool checked = false;
  const auto check = [&](gui::FindFilesDialog* dialog) {
    QVERIFY(dialog != nullptr);
    const auto columnsShown = [&] { return !dialog->Results().isColumnHidden(3) && !dialog->Results().isColumnHidden(4); };
    QVERIFY(!columnsShown());
    dialog->ContainingField().setText(QStringLiteral("needle"));
    dialog->IgnoreCaseBox().setChecked(true);
    QTest::mouseClick(&dialog->StartButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(dialog->StartButton().isEnabled() &&
                                 dialog->StatusLabel().text().startsWith(QStringLiteral("Searched")),
                             30000);
    QVERIFY(columnsShown());
    QCOMPARE(dialog->ProgressBar().value(), 100);
    const std::multimap<QString, QStringList> rows = Listed(dialog->Results());
    QCOMPARE(rows.size(), std::size_t{3});
    QCOMPARE(rows.find(QStringLiteral("notes.txt"))->second, (QStringList{QStringLiteral("2049"), QStringLiteral("1")}));
    QCOMPARE(rows.find(QStringLiteral("gone-away.txt"))->second, (QStringList{QStringLiteral("100"), QStringLiteral("1")}));
    // The deleted file's clusters are free: the text is there too.
    const auto free = rows.find(QString::fromLatin1(wizard::kFreeSpaceRowName));
    QVERIFY(free != rows.end());
    QVERIFY2(free->second.front().startsWith(QStringLiteral("sector ")), qPrintable(free->second.front()));
    QCOMPARE(dialog->StatusLabel().text(), QStringLiteral("Searched 3 file(s) and the free space"));

    // Case kept: the UTF-16 "Needle" alone; a pattern keeps free space out.
    dialog->IgnoreCaseBox().setChecked(false);
    dialog->ContainingField().setText(QStringLiteral("Needle"));
    dialog->PatternField().setText(QStringLiteral("*.txt"));
    QTest::mouseClick(&dialog->StartButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(dialog->StartButton().isEnabled() && dialog->Results().model()->rowCount() == 1, 30000);
    QCOMPARE(Listed(dialog->Results()).begin()->first, QStringLiteral("notes.txt"));
    QCOMPARE(dialog->StatusLabel().text(), QStringLiteral("Searched 2 file(s)"));

    // By name alone, the list is as it always was.
    dialog->ContainingField().clear();
    QTest::mouseClick(&dialog->StartButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(dialog->StartButton().isEnabled() && dialog->Results().model()->rowCount() == 2, 30000);
    QVERIFY(!columnsShown());
    QVERIFY(dialog->ProgressBar().isHidden());
    checked = true;
  };
  QTimer::singleShot(0, [&] {
    static_cast<void>(QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }));
    auto* dialog = qobject_cast<gui::FindFilesDialog*>(QApplication::activeModalWidget());
    check(dialog);
    if (dialog != nullptr) {
      static_cast<void>(QTest::qWaitFor([&] { return dialog->StartButton().isEnabled(); }));
      static_cast<QDialog*>(dialog)->reject();
    }
  });
  program.Commands().Run(wizard::Command::findFiles);
  QVERIFY(checked);
}

}  // namespace salvex::testing
