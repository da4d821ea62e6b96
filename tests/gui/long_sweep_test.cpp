// An Advance Scan of a whole 64 GiB image (sparse, with data every MiB),
// long enough to press Stop in: the window keeps handling events while the
// worker reads, the panel
// and the rate label follow it, Stop answered No leaves it running, Yes
// stops it, and Exit during a sweep ends without hanging.

#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>

#include <filesystem>
#include <fstream>

#include "box_answerer.h"
#include "gui/info_panel.h"
#include "gui/progress_row.h"
#include "gui/status_line.h"
#include "support/tool_runner.h"
#include "window_driver.h"
#include "window_flow_test.h"

namespace salvex::testing {

void LongSweepTest::StopAsksAndTheWindowKeepsTurning() {
  TempDir dir;
  const std::filesystem::path image = dir / "sparse.img";
  { std::ofstream(image).put('\0'); }
  std::filesystem::resize_file(image, std::uint64_t{64} << 30);
  {
    // A byte every MiB: the sweep passes holes over unread, and this one
    // must read, for long enough to press Stop in.
    std::fstream bytes(image, std::ios::in | std::ios::out | std::ios::binary);
    for (std::uint64_t at = 0; at < (std::uint64_t{64} << 30); at += std::uint64_t{1} << 20) {
      bytes.seekp(static_cast<std::streamoff>(at));
      bytes.put('\x01');
    }
  }
  gui::GuiProgram program({{image.string()}, dir.Path().string(), ""});
  std::optional<int> quitWith;
  program.Window().SetQuitAction([&](int status) { quitWith = status; });
  program.Start();
  WindowDriver drive(program);
  BoxAnswerer boxes;
  QVERIFY(QTest::qWaitForWindowActive(&drive.Window()));
  QTest::mouseClick(drive.Window().findChild<QRadioButton*>(QStringLiteral("advanceScanOption")), Qt::LeftButton);
  drive.ClickNode(wizard::TreeKind::disks, -1);
  drive.Click("nextButton");
  // No partition table: the quick search runs first.
  QVERIFY(drive.WaitForStep(1));
  QTRY_VERIFY(!boxes.seen.empty());
  QVERIFY(boxes.seen[0].text.startsWith(QStringLiteral(" No partitions found")));

  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ticks += program.Controller().Busy() ? 1 : 0; });
  ticker.start(20);
  drive.Click("nextButton");
  QVERIFY(program.Controller().Busy());
  QTRY_VERIFY(ticks >= 10);
  QTRY_VERIFY(drive.Button("stopButton").isVisible());
  QVERIFY(drive.Window().Progress().Bar()->isVisible());
  QTRY_VERIFY(drive.Window().Panel().ValueText(2) != QStringLiteral("0"));
  QLabel* rate = drive.Window().Progress().RateLabel();
  QTRY_VERIFY_WITH_TIMEOUT(rate->isVisible() && rate->text().contains(QStringLiteral("B/s")), 15000);
  // The status bar tells the phase and the rate too.
  const gui::StatusLine& status = drive.Window().Status();
  QVERIFY(status.Scanning());
  QVERIFY(!status.LeftText().isEmpty());
  QTRY_VERIFY(status.RightText().contains(QStringLiteral("B/s")));
  const QString shots = qEnvironmentVariable("SALVEX_GUI_TEST_SHOTS");
  if (!shots.isEmpty()) drive.Window().grab().save(QDir(shots).filePath(QStringLiteral("sweep.png")));

  boxes.Script(QMessageBox::No);
  drive.Click("stopButton");
  QCOMPARE(boxes.LastText(), QStringLiteral("Do you want to stop the current process ?"));
  QCOMPARE(boxes.seen.back().icon, QMessageBox::Question);
  QTest::qWait(300);
  QVERIFY(program.Controller().Busy());
  QVERIFY(!program.State().scan.StopRequested());

  boxes.Script(QMessageBox::Yes);
  drive.Click("stopButton");
  QVERIFY(drive.WaitForStep(2));
  QVERIFY(!drive.Button("nextButton").isVisible());  // nothing was found
  QVERIFY(!drive.Window().Progress().Bar()->isVisible());

  // Exit while a sweep runs: the window quits, the sweep ends at its next
  // check, and the program's end waits for it.
  drive.Click("backButton");
  QVERIFY(drive.WaitForStep(1));
  drive.Click("nextButton");
  QTRY_VERIFY(drive.Button("stopButton").isVisible());
  boxes.Script(QMessageBox::Yes);
  drive.Window().close();
  QTRY_COMPARE(quitWith, std::optional<int>(0));
}

}  // namespace salvex::testing
