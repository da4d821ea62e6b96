// The window as a new user meets it, on the offscreen platform, on an image
// made by sfdisk, mkfs.fat and mtools: what the preview shows after a
// click, the keys in a sorted list, the room the list gets, the filters'
// sign, the keyboard's way through the steps.

#include <QBuffer>
#include <QImage>
#include <QMessageBox>

#include <QLineEdit>
#include <QRadioButton>
#include <QSplitter>

#include "box_answerer.h"
#include <QComboBox>
#include <QPushButton>

#include "gui/info_panel.h"
#include "gui/view_filter_bar.h"
#include "gui/preview_pane.h"
#include "gui/status_line.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"
#include "window_driver.h"
#include "window_flow_test.h"

namespace salvex::testing {
namespace {

using wizard::TreeKind;

constexpr std::uint32_t kFatStart = 2048;
constexpr std::uint32_t kFatSectors = 69632;

std::string PngBytes() {
  QImage image(64, 48, QImage::Format_RGB32);
  image.fill(QColor(200, 30, 60));
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return data.toStdString();
}

// A root of text and pattern files, a folder of a picture and a text, and a
// file deleted under its short name alone.
struct UseFixture {
  TempDir dir;
  std::filesystem::path image = dir / "use.img";
  UseFixture() {
    DiskPlan plan;
    plan.totalSectors = 81920;
    plan.partitions = {{VolumeKind::fat32, false, kFatStart, kFatSectors, 0x0C, 1, "USE"}};
    BuildDisk(image, plan);
    MtoolsVolume volume(image, kFatStart, dir.Path());
    const std::int64_t time = NoonUtc({2021, 3, 4});
    volume.MakeFolders({"Photos"}, time);
    volume.CopyFiles("", {{"notes.txt", "Plain words to read.\n", time}, PatternFile("middle.bin", 3000, time),
                          PatternFile("alpha.bin", 9000, time), PatternFile("zeta.bin", 100, time),
                          {"OLDNOTE.TXT", "An old note.\n", time}});
    volume.CopyFiles("Photos", {{"rose.png", PngBytes(), time}, {"tulip.txt", "A tulip.\n", time}});
    volume.Delete({"OLDNOTE.TXT"});
  }
};

std::unique_ptr<UseFixture> MakeUseFixture() {
  if (!HaveTools({"sfdisk", "mkfs.fat", "mcopy", "mmd", "mdel"})) return nullptr;
  return std::make_unique<UseFixture>();
}

struct UseRun {
  explicit UseRun(const UseFixture& fixture)
      : program(gui::GuiProgram::Settings{{fixture.image.string()}, fixture.dir.Path().string(), ""}), drive(program) {
    program.Window().SetQuitAction([](int) {});
    program.Start();
  }
  gui::GuiProgram program;
  WindowDriver drive;
  BoxAnswerer boxes;
};

// The store position of the file named `name` in the list shown.
std::optional<std::uint32_t> PositionOf(WindowDriver& drive, const QString& name) {
  const wizard::ItemListModel& rows = drive.Wizard().List();
  for (std::size_t row = 0; row < rows.RowCount(); ++row) {
    if (QString::fromStdString(rows.Name(row)) == name) return rows.At(row).position;
  }
  return std::nullopt;
}

}  // namespace

void WindowUseTest::PreviewShowsTheRowClicked() {
  const auto fixture = MakeUseFixture();
  if (!fixture) QSKIP("needs sfdisk, mkfs.fat and mtools (run scripts/setup.sh)");
  UseRun run(*fixture);
  WindowDriver& drive = run.drive;
  QVERIFY(QTest::qWaitForWindowActive(&drive.Window()));
  QVERIFY(drive.ScanFirstPartition());
  QTRY_VERIFY(!run.boxes.seen.empty());
  gui::PreviewPane& preview = *drive.Window().Preview();
  QVERIFY(preview.isVisible());

  // The first click after a folder opens shows the file clicked, at once.
  drive.DoubleClickRow(drive.RowOf(QStringLiteral("Photos")));
  QCOMPARE(drive.Names(), (std::vector<std::string>{"rose.png", "tulip.txt"}));
  struct Click {
    const char* name;
    gui::PreviewPane::Shown shows;
  };
  const Click clicks[] = {{"rose.png", gui::PreviewPane::Shown::picture},
                          {"tulip.txt", gui::PreviewPane::Shown::text},
                          {"rose.png", gui::PreviewPane::Shown::picture}};
  for (const Click& click : clicks) {
    QTest::mouseClick(drive.Table().viewport(), Qt::LeftButton, {}, drive.RowCentre(drive.RowOf(click.name)));
    QTRY_COMPARE(preview.Showing(), click.shows);
    QCOMPARE(preview.ShownPosition(), PositionOf(drive, QString::fromLatin1(click.name)));
  }
  // Two rows selected, or a folder clicked: the empty frame.
  QTest::mouseClick(drive.Table().viewport(), Qt::LeftButton, Qt::ControlModifier, drive.RowCentre(1));
  QTRY_COMPARE(preview.Showing(), gui::PreviewPane::Shown::nothing);
  drive.ClickNode(TreeKind::items, WindowDriver::kRootRow);
  QTest::mouseClick(drive.Table().viewport(), Qt::LeftButton, {}, drive.RowCentre(drive.RowOf(QStringLiteral("notes.txt"))));
  QTRY_COMPARE(preview.Showing(), gui::PreviewPane::Shown::text);
  QTest::mouseClick(drive.Table().viewport(), Qt::LeftButton, {}, drive.RowCentre(drive.RowOf(QStringLiteral("Photos"))));
  QTRY_COMPARE(preview.Showing(), gui::PreviewPane::Shown::nothing);
  QCOMPARE(preview.ShownPosition(), std::nullopt);
}

void WindowUseTest::HomeAndEndFollowTheSortedOrder() {
  const auto fixture = MakeUseFixture();
  if (!fixture) QSKIP("needs sfdisk, mkfs.fat and mtools (run scripts/setup.sh)");
  UseRun run(*fixture);
  WindowDriver& drive = run.drive;
  QVERIFY(QTest::qWaitForWindowActive(&drive.Window()));
  QVERIFY(drive.ScanFirstPartition());
  QTRY_VERIFY(!run.boxes.seen.empty());
  QVERIFY(drive.Activate());
  QTableView& table = drive.Table();
  drive.ClickHeader(2);  // by size, smallest first
  drive.ClickHeader(2);  // largest first
  QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, drive.RowCentre(2));
  const auto selectedName = [&] {
    const auto row = drive.Window().SelectedListRow();
    return row ? drive.Wizard().List().Name(*row) : std::string();
  };
  QTest::keyClick(&table, Qt::Key_End);
  QCOMPARE(QString::fromStdString(selectedName()), drive.Cell(table.model()->rowCount() - 1, 0));
  QTest::keyClick(&table, Qt::Key_Home);
  QCOMPARE(QString::fromStdString(selectedName()), drive.Cell(0, 0));
  QCOMPARE(drive.Cell(0, 0), QStringLiteral("Photos"));  // folders stay first
  QTest::keyClick(&table, Qt::Key_End);
  QCOMPARE(QString::fromStdString(selectedName()), QStringLiteral("xLDNOTE.TXT"));  // the smallest, last
}

// Every step, reached by Next or by Back, shows the highlighted node's
// panel and Next; the disk tree alone in its pane; after a quick search no
// partition's values stay in the panel.
void WindowUseTest::BackShowsTheStepAsItWasLeft() {
  const auto fixture = MakeUseFixture();
  if (!fixture) QSKIP("needs sfdisk, mkfs.fat and mtools (run scripts/setup.sh)");
  UseRun run(*fixture);
  WindowDriver& drive = run.drive;
  QVERIFY(QTest::qWaitForWindowActive(&drive.Window()));
  gui::InfoPanel& panel = drive.Window().Panel();
  const auto onlyTreeShown = [&](TreeKind shown) {
    for (const TreeKind kind : {TreeKind::disks, TreeKind::partitions, TreeKind::foundFileSystems, TreeKind::items}) {
      if (drive.Tree(kind).isVisible() != (kind == shown)) return false;
    }
    // The list belongs to the items: before them the tree takes its width.
    return !drive.Table().isVisible();
  };
  for (const char* option : {"standardScanOption", "advanceScanOption"}) {
    QTest::mouseClick(drive.Window().findChild<QRadioButton*>(QString::fromLatin1(option)), Qt::LeftButton);
    drive.ClickNode(TreeKind::disks, -1);
    const QString model = panel.ValueText(0);
    QVERIFY(!model.isEmpty());
    drive.Click("nextButton");
    QVERIFY(drive.WaitForStep(1));
    QVERIFY(onlyTreeShown(TreeKind::partitions));
    drive.Click("backButton");
    QCOMPARE(drive.Wizard().StepNumber(), 0);
    QVERIFY2(onlyTreeShown(TreeKind::disks), option);
    QCOMPARE(panel.ValueText(0), model);
    QVERIFY(panel.StatusText().startsWith(QStringLiteral("Image: ")));
    QVERIFY(drive.Button("nextButton").isVisible());
    QCOMPARE(drive.Tree(TreeKind::disks).currentIndex(), drive.Node(TreeKind::disks, -1));
  }

  // A quick search makes the tree anew: the partition chosen before is gone
  // from the panel too.
  QTest::mouseClick(drive.Window().findChild<QRadioButton*>(QStringLiteral("standardScanOption")), Qt::LeftButton);
  drive.Click("nextButton");
  QVERIFY(drive.WaitForStep(1));
  drive.ClickNode(TreeKind::partitions, 0);
  QCOMPARE(panel.ValueText(1), QString::number(kFatStart));
  drive.Click("searchPartitionsButton");
  QVERIFY(drive.WaitForStep(1));
  QTRY_VERIFY(drive.Button("backButton").isVisible());
  QCOMPARE(panel.ValueText(1), QString());
  QVERIFY(!drive.Button("nextButton").isVisible());
}

// The list keeps room at a laptop's 1024 x 600 and on a large screen: the
// details below fold away, the columns end at the pane's edge, the ID
// column stays hidden until asked for.
void WindowUseTest::TheListKeepsItsRoomAtEverySize() {
  const auto fixture = MakeUseFixture();
  if (!fixture) QSKIP("needs sfdisk, mkfs.fat and mtools (run scripts/setup.sh)");
  UseRun run(*fixture);
  WindowDriver& drive = run.drive;
  QVERIFY(QTest::qWaitForWindowActive(&drive.Window()));
  QVERIFY(drive.ScanFirstPartition());
  QTRY_VERIFY(!run.boxes.seen.empty());
  QTableView& table = drive.Table();
  const auto rowsShown = [&] { return table.viewport()->height() / table.verticalHeader()->defaultSectionSize(); };
  const auto columnsEnd = [&] {
    int end = 0;
    for (int column = 0; column < table.model()->columnCount(); ++column) {
      if (!table.isColumnHidden(column)) end = std::max(end, table.columnViewportPosition(column) + table.columnWidth(column));
    }
    return end;
  };
  struct Size {
    int width, height, rows;
  };
  for (const Size size : {Size{1024, 600, 10}, Size{1920, 1080, 24}}) {
    drive.Window().resize(size.width, size.height);
    QTest::qWait(50);
    QVERIFY2(rowsShown() >= size.rows, qPrintable(QStringLiteral("%1 rows at %2").arg(rowsShown()).arg(size.width)));
    QVERIFY(table.isColumnHidden(5));
    QCOMPARE(columnsEnd(), table.viewport()->width());  // Modified shown whole, and stretched to the edge
  }
  // Folded away, the details give the list their room; the choice stays.
  drive.Window().resize(1024, 600);
  QTest::qWait(50);
  const int before = rowsShown();
  drive.Window().ShowDetails(false);
  QTest::qWait(50);
  QVERIFY(!drive.Window().DetailsShown());
  QVERIFY(rowsShown() >= before + 4);
  drive.Window().ShowDetails(true);
  QTest::qWait(50);
  QVERIFY(drive.Window().DetailsShown());
  // The header's menu brings the ID column back.
  drive.Window().List().SetColumnShown(5, true);
  QVERIFY(!table.isColumnHidden(5));
  drive.Window().List().SetColumnShown(5, false);
  QVERIFY(table.isColumnHidden(5));
  // At the window's least size the list still shows rows.
  drive.Window().resize(drive.Window().minimumSizeHint());
  QTest::qWait(50);
  QVERIFY2(rowsShown() >= 5, qPrintable(QString::number(rowsShown())));
}

// A deleted short name's row says its first letter is lost, and how to name
// it; the Quick Help reads without gaps and points at the list.
void WindowUseTest::TipsAndTextsSayWhatTheyMean() {
  const auto fixture = MakeUseFixture();
  if (!fixture) QSKIP("needs sfdisk, mkfs.fat and mtools (run scripts/setup.sh)");
  UseRun run(*fixture);
  WindowDriver& drive = run.drive;
  QVERIFY(QTest::qWaitForWindowActive(&drive.Window()));
  QVERIFY(drive.ScanFirstPartition());
  QTRY_VERIFY(!run.boxes.seen.empty());
  const int lost = drive.RowOf(QStringLiteral("xLDNOTE.TXT"));
  QVERIFY(lost >= 0);
  const QString tip = drive.Table().model()->index(lost, 0).data(Qt::ToolTipRole).toString();
  QVERIFY2(tip.contains(QStringLiteral("first letter")) && tip.contains(QStringLiteral("F2")), qPrintable(tip));
  const QString live = drive.Table().model()->index(drive.RowOf(QStringLiteral("notes.txt")), 0).data(Qt::ToolTipRole).toString();
  QCOMPARE(live, QStringLiteral("notes.txt"));

  const QString help = drive.Window().QuickHelpShown();
  QVERIFY2(help.contains(QStringLiteral("from the list")) && !help.contains(QStringLiteral("  ")), qPrintable(help));
  QVERIFY(drive.Window().QuickHelpText().contains(QStringLiteral("using   Recover")));  // the wizard's text, as it is
}

// The keyboard alone: each step's tree takes the keys on arrival, Enter on a
// disk or a partition is Next, Tab never stops where nothing shows.
void WindowUseTest::TheKeyboardGoesThroughTheSteps() {
  const auto fixture = MakeUseFixture();
  if (!fixture) QSKIP("needs sfdisk, mkfs.fat and mtools (run scripts/setup.sh)");
  UseRun run(*fixture);
  WindowDriver& drive = run.drive;
  QVERIFY(QTest::qWaitForWindowActive(&drive.Window()));
  gui::FolderTreeView& disks = drive.Tree(TreeKind::disks);
  QTRY_VERIFY(disks.hasFocus());
  drive.ClickNode(TreeKind::disks, -1);
  QTest::keyClick(&disks, Qt::Key_Return);
  QVERIFY(drive.WaitForStep(1));
  gui::FolderTreeView& partitions = drive.Tree(TreeKind::partitions);
  QTRY_VERIFY(partitions.hasFocus());
  QTest::keyClick(&partitions, Qt::Key_Down);  // from the disk's root to its partition
  QVERIFY(drive.Button("nextButton").isVisible());
  QTest::keyClick(&partitions, Qt::Key_Return);
  QVERIFY(drive.WaitForStep(3));
  QTRY_VERIFY(!run.boxes.seen.empty());
  QVERIFY(drive.Activate());
  QTRY_VERIFY(drive.Table().hasFocus());
  // The Quick Help is read, never edited: no Tab stop that shows nothing.
  QVERIFY(drive.Window().findChild<QWidget*>(QStringLiteral("quickHelp"))->focusPolicy() == Qt::NoFocus);
  QTest::keyClick(&drive.Table(), Qt::Key_Tab);
  QVERIFY(drive.Tree(TreeKind::items).hasFocus());
  QVERIFY(drive.Tree(TreeKind::items).currentIndex().isValid());  // a focus mark to see
}

// The view filters above the list: deleted only narrows the list and the
// tree at once, the status bar says how much is hidden, Show All brings all
// back.
void WindowUseTest::ViewFiltersNarrowTheListAndTheTree() {
  const auto fixture = MakeUseFixture();
  if (!fixture) QSKIP("needs sfdisk, mkfs.fat and mtools (run scripts/setup.sh)");
  UseRun run(*fixture);
  WindowDriver& drive = run.drive;
  QVERIFY(QTest::qWaitForWindowActive(&drive.Window()));
  QVERIFY(drive.ScanFirstPartition());
  QTRY_VERIFY(!run.boxes.seen.empty());
  gui::ViewFilterBar& bar = drive.Window().ViewFilters();
  QVERIFY(bar.isVisible());
  const std::vector<std::string> all = drive.Names();
  bar.DeletedChoice().setCurrentIndex(1);  // Deleted only
  QCOMPARE(drive.Names(), (std::vector<std::string>{"xLDNOTE.TXT"}));
  QVERIFY2(drive.Window().Status().LeftText().contains(QStringLiteral("hidden by the view filter")),
           qPrintable(drive.Window().Status().LeftText()));
  QCOMPARE(drive.Tree(TreeKind::items).Nodes().rowCount(drive.Node(TreeKind::items, WindowDriver::kRootRow)), 0);
  bar.DeletedChoice().setCurrentIndex(0);
  bar.TypeChoice().setCurrentIndex(1);  // Pictures: the folder that holds one
  QCOMPARE(drive.Names(), (std::vector<std::string>{"Photos"}));
  bar.MinSizeField().setText(QStringLiteral("1 MB"));
  QCOMPARE(drive.Names(), std::vector<std::string>{});
  QTest::mouseClick(bar.findChild<QPushButton*>(QStringLiteral("clearViewFilterButton")), Qt::LeftButton);
  QCOMPARE(drive.Names(), all);
  QCOMPARE(bar.TypeChoice().currentIndex(), 0);
}

}  // namespace salvex::testing
