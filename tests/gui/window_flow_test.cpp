// The real window, on the offscreen platform, driven with the mouse and the
// keyboard through both scans of an image made by sfdisk, mkfs.fat and
// mtools: what it shows at each step, and what its clicks and keys do.

#include "window_flow_test.h"

#include <QAbstractItemDelegate>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRadioButton>

#include "box_answerer.h"
#include "gui/command_actions.h"
#include "gui/file_type_group.h"
#include "gui/info_panel.h"
#include "gui/item_table_model.h"
#include "gui/scan_options.h"
#include "gui/status_line.h"
#include "support/format_writers.h"
#include "support/jpeg_writer.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"
#include "window_driver.h"
#include "wizard/step_presentation.h"

namespace salvex::testing {
namespace {

using wizard::TreeKind;

constexpr std::uint32_t kFatStart = 2048;
constexpr std::uint32_t kFatSectors = 69632;
const Ymd kDay{2019, 6, 2};

struct Fixture {
  TempDir dir;
  std::filesystem::path image = dir / "window.img";
  Fixture() {
    DiskPlan plan;
    plan.totalSectors = 81920;
    plan.partitions = {{VolumeKind::fat32, false, kFatStart, kFatSectors, 0x0C, 1, "WINDOW"},
                       {VolumeKind::ntfsStub, false, kFatStart + kFatSectors, 4096, 0x07, 0, ""}};
    BuildDisk(image, plan);
    MtoolsVolume volume(image, kFatStart, dir.Path());
    const std::int64_t time = NoonUtc(kDay);
    volume.MakeFolders({"Docs", "Docs/Letters"}, time);
    volume.CopyFiles("", {PatternFile("readme.txt", 5000, time), PatternFile("gone-away.txt", 3000, time),
                          PatternFile("zebra.jpg", 90, time)});
    volume.CopyFiles("Docs", {PatternFile("report.doc", 40000, time)});
    volume.Delete({"gone-away.txt"});
  }
};

std::unique_ptr<Fixture> MakeFixture() {
  if (!HaveTools({"sfdisk", "mkfs.fat", "mcopy", "mmd", "mdel"})) return nullptr;
  return std::make_unique<Fixture>();
}

// A fresh program on the image, its window shown, with the image clicked.
struct Run {
  template <typename AnyFixture>
  explicit Run(const AnyFixture& fixture)
      : program(gui::GuiProgram::Settings{{fixture.image.string()}, fixture.dir.Path().string(), ""}), drive(program) {
    program.Window().SetQuitAction([this](int status) { quitWith = status; });
    program.Start();
  }
  gui::GuiProgram program;
  WindowDriver drive;
  BoxAnswerer boxes;
  std::optional<int> quitWith;
};

}  // namespace

void WindowFlowTest::StandardScanFromTheDiskToTheItemsAndBack() {
  const auto fixture = MakeFixture();
  if (!fixture) QSKIP("needs sfdisk, mkfs.fat and mtools (run scripts/setup.sh)");
  Run run(*fixture);
  WindowDriver& drive = run.drive;
  QVERIFY(QTest::qWaitForWindowActive(&drive.Window()));
  QCOMPARE(drive.Node(TreeKind::disks, WindowDriver::kRootRow).data().toString(), QStringLiteral("My Computer"));
  QVERIFY(drive.Window().QuickHelpText().startsWith(QStringLiteral("\n                1. Select the disk")));
  QVERIFY(!drive.Button("nextButton").isVisible());
  QCOMPARE(drive.Button("nextButton").toolTip(), QStringLiteral("Go to next step"));
  const QString scanTypeHelp = drive.Window().findChild<QWidget*>(QStringLiteral("scanTypeHelp"))->toolTip();
  for (const char* text : {"SCAN TYPE", "Advance Mode", "for recovering data, select this for",
                           "or where Standard Scan fails to recover the data."}) {
    QVERIFY2(scanTypeHelp.contains(QString::fromLatin1(text)), text);
  }

  // Devices named alike are told apart by their tool tips.
  const QString diskTip = drive.Node(TreeKind::disks, -1).data(Qt::ToolTipRole).toString();
  QVERIFY2(diskTip.startsWith(QString::fromStdString(fixture->image.string() + "\nDisk image\n")), qPrintable(diskTip));
  drive.ClickNode(TreeKind::disks, -1);
  QCOMPARE(drive.Window().Panel().LabelText(0), QStringLiteral("Model"));
  QVERIFY(drive.Window().Panel().ValueText(1).endsWith(QStringLiteral(" MB ( Approx )")));
  QVERIFY(drive.Button("nextButton").isVisible());
  drive.Click("nextButton");
  QVERIFY(drive.WaitForStep(1));
  QVERIFY(drive.Tree(TreeKind::partitions).isVisible());
  QVERIFY(!drive.Tree(TreeKind::disks).isVisible());
  QCOMPARE(drive.Node(TreeKind::partitions, 1).data().toString(), QStringLiteral("Partition 2 - NTFS"));

  // The disk and partitions trees are tables under a header: the figures
  // beside each name, right-aligned, never cut; the name takes the rest.
  const struct {
    TreeKind kind;
    int row;
    QStringList headings;
    QStringList cells;
  } tables[] = {
      {TreeKind::disks, -1, {"Name", "Size", "Partitions"}, {"40 MB", "2"}},
      {TreeKind::partitions, WindowDriver::kRootRow, {"Name", "File System", "Size", "Start"}, {"", "40 MB", "0"}},
      {TreeKind::partitions, 0, {"Name", "File System", "Size", "Start"}, {"FAT32", "34 MB", "2048"}},
      {TreeKind::partitions, 1, {"Name", "File System", "Size", "Start"}, {"NTFS", "2 MB", "71680"}},
  };
  for (const auto& table : tables) {
    gui::FolderTreeView& tree = drive.Tree(table.kind);
    const QModelIndex node = drive.Node(table.kind, table.row);
    QCOMPARE(tree.model()->columnCount(), table.headings.size());
    QVERIFY(!tree.isHeaderHidden());
    QVERIFY(tree.allColumnsShowFocus());
    for (int column = 0; column < table.headings.size(); ++column) {
      QCOMPARE(tree.model()->headerData(column, Qt::Horizontal).toString(), table.headings[column]);
    }
    for (int column = 1; column < table.headings.size(); ++column) {
      QCOMPARE(node.siblingAtColumn(column).data().toString(), table.cells[column - 1]);
      if (table.kind != TreeKind::partitions) continue;  // the one shown now
      const QString widest = std::max(table.cells[column - 1], table.headings[column],
                                      [&](const QString& a, const QString& b) {
                                        return tree.fontMetrics().horizontalAdvance(a) <
                                               tree.fontMetrics().horizontalAdvance(b);
                                      });
      QVERIFY(tree.columnWidth(column) > tree.fontMetrics().horizontalAdvance(widest));
    }
  }
  QCOMPARE(drive.Node(TreeKind::partitions, 0).siblingAtColumn(2).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
               Qt::AlignHorizontal_Mask,
           Qt::AlignRight);
  QCOMPARE(drive.Table().model()->headerData(0, Qt::Horizontal).toString(),
           QString::fromStdString(wizard::DetailsColumnTitle()));
  // The single column fills the pane, and is as wide as it says at least.
  QVERIFY(drive.Table().columnWidth(0) >= std::min(wizard::kDetailsColumnWidth, drive.Table().viewport()->width()));

  // NTFS is refused in an error box; the step stays.
  drive.ClickNode(TreeKind::partitions, 1);
  drive.Click("nextButton");
  QTRY_COMPARE(run.boxes.seen.size(), std::size_t{1});
  QCOMPARE(run.boxes.seen[0].title, QStringLiteral("Brimora Salvex FAT"));
  QCOMPARE(run.boxes.seen[0].icon, QMessageBox::Critical);
  QVERIFY(run.boxes.LastText().startsWith(QStringLiteral("This is NTFS partition.")));
  QCOMPARE(drive.Wizard().StepNumber(), 1);

  drive.ClickNode(TreeKind::partitions, 0);
  QCOMPARE(drive.Window().Panel().ValueText(1), QString::number(kFatStart));
  drive.Click("nextButton");
  QVERIFY(drive.WaitForStep(3));
  QTRY_COMPARE(run.boxes.seen.size(), std::size_t{2});
  QCOMPARE(run.boxes.seen[1].icon, QMessageBox::Information);
  QCOMPARE(run.boxes.LastText(), QStringLiteral("If you don't find your file(s) or folder(s) here, you can use \"Advance scan\""));

  // The six columns, their widths and the Size column's alignment.
  QTableView& table = drive.Table();
  QVERIFY(table.showGrid());
  QCOMPARE(table.selectionBehavior(), QAbstractItemView::SelectRows);
  const auto columns = wizard::ItemColumns(wizard::ListLayout::itemsSizeRight);
  QCOMPARE(table.model()->columnCount(), 6);
  for (int column = 0; column < 6; ++column) {
    QCOMPARE(table.model()->headerData(column, Qt::Horizontal).toString(), QString::fromLatin1(columns[column].title));
  }
  // The ID column is hidden until asked for; the last one shown, Modified,
  // takes what room is left.
  for (int column = 0; column < 4; ++column) QCOMPARE(table.columnWidth(column), columns[column].width);
  QVERIFY(table.isColumnHidden(5));
  QVERIFY(table.columnWidth(4) >= columns[4].width);
  const auto alignment = [&](int column) {
    return table.model()->index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask;
  };
  QCOMPARE(alignment(2), Qt::AlignRight);
  QCOMPARE(alignment(0), Qt::AlignLeft);

  // Folders first, then files, in the order found; the deleted one red.
  const std::vector<std::string> found{"Docs", "readme.txt", "gone-away.txt", "zebra.jpg"};
  QCOMPARE(drive.Names(), found);
  const int gone = drive.RowOf(QStringLiteral("gone-away.txt"));
  QVERIFY(drive.Cell(gone, 1).startsWith(QStringLiteral("Deleted ")));
  QCOMPARE(table.model()->index(gone, 1).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));
  QCOMPARE(table.model()->index(1, 0).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 0, 0));
  // A size from 1 KB up in binary units, to the byte in its tool tip.
  QCOMPARE(drive.Cell(1, 2), QStringLiteral("4.9 KB"));
  QCOMPARE(table.model()->index(1, 2).data(Qt::ToolTipRole).toString(), QStringLiteral("5000 bytes"));
  QCOMPARE(drive.Cell(1, 3), QString::fromStdString(ListedDate(kDay)));
  QCOMPARE(drive.Cell(1, 4), QString::fromStdString(ListedDate(kDay)));
  QCOMPARE(drive.Cell(0, 1), QStringLiteral("Folder"));

  // The status bar counts what the list shows, then what is selected of it.
  const gui::StatusLine& status = drive.Window().Status();
  QCOMPARE(status.LeftText(), QStringLiteral("1 folder, 3 files, 1 deleted"));
  QVERIFY(!status.Scanning());
  QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, drive.RowCentre(1));
  QTest::mouseClick(table.viewport(), Qt::LeftButton, Qt::ControlModifier, drive.RowCentre(0));
  QCOMPARE(status.RightText(), QStringLiteral("2 selected, 4.9 KB"));

  // A header sorts, a second click reverses (folders stay first), a new fill
  // brings back the order found.
  drive.ClickHeader(0);
  QCOMPARE(drive.Names(), (std::vector<std::string>{"Docs", "gone-away.txt", "readme.txt", "zebra.jpg"}));
  drive.ClickHeader(0);
  QCOMPARE(drive.Names(), (std::vector<std::string>{"Docs", "zebra.jpg", "readme.txt", "gone-away.txt"}));
  drive.ClickHeader(2);  // by size, as numbers
  QCOMPARE(drive.Names(), (std::vector<std::string>{"Docs", "zebra.jpg", "gone-away.txt", "readme.txt"}));
  drive.ClickNode(TreeKind::items, WindowDriver::kRootRow);
  QCOMPARE(drive.Names(), found);

  // A double-click opens the folder and moves the tree to it; the keys stay
  // in the list.
  drive.DoubleClickRow(0);
  QCOMPARE(drive.Names(), (std::vector<std::string>{"Letters", "report.doc"}));
  QCOMPARE(drive.Tree(TreeKind::items).currentIndex().data().toString(), QStringLiteral("Docs"));
  QVERIFY(!drive.Wizard().TreeIsActive());
  QVERIFY(drive.Window().focusWidget() == &table);

  // The list follows the tree's highlight, however it moves: the arrow keys,
  // and a click left of a node's icon.
  gui::FolderTreeView& tree = drive.Tree(TreeKind::items);
  tree.setFocus();
  QTest::keyClick(&tree, Qt::Key_Up);
  QCOMPARE(drive.Names(), found);
  QTest::keyClick(&tree, Qt::Key_Down);
  QCOMPARE(drive.Names(), (std::vector<std::string>{"Letters", "report.doc"}));
  QTest::keyClick(&tree, Qt::Key_Up);
  const QModelIndex docs = drive.Node(TreeKind::items, 0);
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(2, tree.visualRect(docs).center().y()));
  QCOMPARE(tree.currentIndex(), docs);
  QCOMPARE(drive.Names(), (std::vector<std::string>{"Letters", "report.doc"}));

  run.boxes.Script(QMessageBox::Yes);  // discard the results
  drive.Click("backButton");
  QCOMPARE(drive.Wizard().StepNumber(), 1);
  QCOMPARE(table.model()->columnCount(), 1);
  QVERIFY(drive.Button("nextButton").isVisible());  // the partition scanned is still chosen
  QVERIFY(drive.Button("searchPartitionsButton").isVisible());
  drive.Click("backButton");
  QCOMPARE(drive.Wizard().StepNumber(), 0);
  QVERIFY(drive.Window().findChild<QWidget*>(QStringLiteral("scanTypeGroup"))->isVisible());
}

void WindowFlowTest::AdvanceScanFromTheRangeToTheMountedItems() {
  const auto fixture = MakeFixture();
  if (!fixture) QSKIP("needs sfdisk, mkfs.fat and mtools (run scripts/setup.sh)");
  Run run(*fixture);
  WindowDriver& drive = run.drive;
  QVERIFY(QTest::qWaitForWindowActive(&drive.Window()));
  QTest::mouseClick(drive.Window().findChild<QRadioButton*>(QStringLiteral("advanceScanOption")), Qt::LeftButton);
  QCOMPARE(run.program.State().scan.scanType, ScanType::advance);
  drive.ClickNode(TreeKind::disks, -1);
  drive.Click("nextButton");
  QVERIFY(drive.WaitForStep(1));
  auto* end = drive.Window().findChild<QLineEdit*>(QStringLiteral("endSector"));
  QVERIFY(drive.Window().findChild<QWidget*>(QStringLiteral("rangeGroup"))->isVisible());
  QCOMPARE(drive.Window().findChild<QLineEdit*>(QStringLiteral("startSector"))->text(), QString::number(kFatStart));
  QCOMPARE(end->text(), QString::number(kFatStart + kFatSectors));

  end->setText(QString::number(kFatStart));
  drive.Click("nextButton");
  QTRY_COMPARE(run.boxes.LastText(), QStringLiteral("      End sector should be bigger than start sector"));
  QCOMPARE(drive.Wizard().StepNumber(), 1);
  end->setText(QString::number(kFatStart + kFatSectors));
  drive.Click("nextButton");
  QVERIFY(drive.WaitForStep(2));
  QVERIFY(drive.Tree(TreeKind::foundFileSystems).isVisible());
  QVERIFY(drive.Node(TreeKind::foundFileSystems, 0).data().toString().startsWith(QStringLiteral("FAT32 @")));

  drive.ClickNode(TreeKind::foundFileSystems, 0);
  QCOMPARE(drive.Window().Panel().LabelText(1), QStringLiteral("Sectors Per Cluster"));
  QCOMPARE(drive.Window().Panel().ValueText(1), QStringLiteral("1"));
  drive.Click("nextButton");
  QVERIFY(drive.WaitForStep(3));
  // After a mount the Size column is right-aligned, as after a scan.
  QCOMPARE(drive.Table().model()->index(0, 2).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
               Qt::AlignHorizontal_Mask,
           Qt::AlignRight);
  QVERIFY(drive.RowOf(QStringLiteral("readme.txt")) >= 0);
  QVERIFY(!drive.Window().Panel().RowShown(0));

  run.boxes.Script(QMessageBox::Yes);  // discard the mounted items
  drive.Click("backButton");
  QCOMPARE(drive.Wizard().StepNumber(), 2);
  QCOMPARE(drive.Tree(TreeKind::items).Nodes().rowCount(), 0);
  run.boxes.Script(QMessageBox::Yes);  // and what the sweep found
  drive.Click("backButton");
  QCOMPARE(drive.Wizard().StepNumber(), 1);
  QCOMPARE(drive.Tree(TreeKind::foundFileSystems).Nodes().rowCount(), 0);
}

void WindowFlowTest::KeysMenusAndRenameInTheItemsStep() {
  const auto fixture = MakeFixture();
  if (!fixture) QSKIP("needs sfdisk, mkfs.fat and mtools (run scripts/setup.sh)");
  Run run(*fixture);
  WindowDriver& drive = run.drive;
  QVERIFY(QTest::qWaitForWindowActive(&drive.Window()));
  QVERIFY(drive.ScanFirstPartition());
  QTRY_COMPARE(run.boxes.seen.size(), std::size_t{1});
  QVERIFY(drive.Activate());
  QTableView& table = drive.Table();

  // Esc never closes the window; Tab moves between the list and the tree.
  QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, drive.RowCentre(1));
  QTest::keyClick(&table, Qt::Key_Escape);
  QVERIFY(drive.Window().isVisible());
  QTest::keyClick(&table, Qt::Key_Tab);
  QVERIFY(drive.Tree(TreeKind::items).hasFocus());
  QTest::keyClick(&drive.Tree(TreeKind::items), Qt::Key_Tab);
  QVERIFY(table.hasFocus());

  // The Menu key opens the row menu: Open With is grayed for a folder.
  QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, drive.RowCentre(0));
  QStringList entries;
  bool openWithEnabled = true;
  QTimer::singleShot(100, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    for (QAction* action : menu->actions()) {
      entries << action->text();
      if (action->menu() != nullptr) {
        for (QAction* inner : action->menu()->actions()) entries << inner->text();
      }
    }
    openWithEnabled = drive.Window().Actions().OpenWithAction()->isEnabled();
    menu->close();
  });
  QTest::keyClick(&table, Qt::Key_Menu);
  QTRY_VERIFY(!entries.isEmpty());
  QVERIFY(entries.contains(QStringLiteral("&Open")));
  QVERIFY(entries.contains(QStringLiteral("Ico&ns     ")));
  QVERIFY(!openWithEnabled);

  // F2 renames in place: Enter keeps the text typed, Esc and an empty text
  // keep the old name.
  struct Case {
    const char* typed;
    Qt::Key ending;
    const char* expected;
  };
  const Case cases[] = {{"notes.txt", Qt::Key_Return, "notes.txt"},
                        {"ignored.txt", Qt::Key_Escape, "notes.txt"},
                        {"", Qt::Key_Return, "notes.txt"}};
  for (const Case& rename : cases) {
    const int row = 1;  // readme.txt; a rename does not move its row
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, drive.RowCentre(row));
    QTest::keyClick(&table, Qt::Key_F2);
    QVERIFY(run.program.Controller().RenameInProgress());
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor != nullptr);
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClicks(editor, QString::fromLatin1(rename.typed));
    QTest::keyClick(editor, rename.ending);
    QTRY_VERIFY(!run.program.Controller().RenameInProgress());
    QCOMPARE(drive.Cell(row, 0), QString::fromLatin1(rename.expected));
  }
  QCOMPARE(run.program.State().items.FatFiles().Items()[0].name, std::string("notes.txt"));

  // Exit asks first; No keeps the window, Yes quits with 0.
  run.boxes.Script(QMessageBox::No);
  drive.Window().close();
  QTRY_COMPARE(run.boxes.LastText(), QStringLiteral("Do you really want to exit ?"));
  QVERIFY(drive.Window().isVisible());
  run.boxes.Script(QMessageBox::Yes);
  drive.Window().Actions().Action(wizard::Command::exit)->trigger();
  QTRY_COMPARE(run.quitWith, std::optional<int>(0));
}

}  // namespace salvex::testing

namespace salvex::testing {

// A photo and a chart copied onto a card and deleted: a Search by File
// Type of its free space lists them under "Found by Content", by type,
// named by their deleted entries.
void WindowFlowTest::SearchByFileTypeListsWhatItFindsUnderFoundByContent() {
  if (!HaveTools({"sfdisk", "mkfs.fat", "mcopy", "mdel"})) {
    QSKIP("needs sfdisk, mkfs.fat and mtools (run scripts/setup.sh)");
  }
  struct {
    TempDir dir;
    std::filesystem::path image = dir / "card.img";
  } fixture;
  DiskPlan plan;
  plan.totalSectors = 2048 + 32768;
  plan.partitions = {{VolumeKind::fat16, false, 2048, 32768, 0x06, 4, "CARD"}};
  BuildDisk(fixture.image, plan);
  MtoolsVolume volume(fixture.image, 2048, fixture.dir.Path());
  const FileBytes photo = WriteJpeg({160, 120, true, 0, 85, 2});
  const FileBytes chart = WritePng(90, 60, 3);
  volume.CopyFiles("", {{"PHOTO.JPG", {photo.begin(), photo.end()}, NoonUtc(kDay)},
                        {"CHART.PNG", {chart.begin(), chart.end()}, NoonUtc(kDay)}});
  volume.Delete({"PHOTO.JPG", "CHART.PNG"});
  Run run(fixture);
  WindowDriver& drive = run.drive;
  QVERIFY(QTest::qWaitForWindowActive(&drive.Window()));
  QTest::mouseClick(drive.Window().findChild<QRadioButton*>(QStringLiteral("fileTypeScanOption")), Qt::LeftButton);
  QCOMPARE(run.program.State().scan.scanType, ScanType::byFileType);
  drive.ClickNode(TreeKind::disks, -1);
  drive.Click("nextButton");
  QVERIFY(drive.WaitForStep(1));
  // Every type ticked at first, and free space only.
  auto& types = drive.Window().Options().FileTypes();
  QVERIFY(types.isVisible());
  QVERIFY(types.Types().count() > 10);
  for (int row = 0; row < types.Types().count(); ++row) QCOMPARE(types.Types().item(row)->checkState(), Qt::Checked);
  QVERIFY(!types.Choices().allSpace);

  drive.ClickNode(TreeKind::partitions, 0);
  drive.Click("nextButton");
  QVERIFY(drive.WaitForStep(3));
  QTRY_VERIFY(!run.boxes.seen.empty());
  QCOMPARE(run.boxes.LastText(),
           QStringLiteral("2 file(s) found by their content are listed under \"Found by Content\", by type."));
  QVERIFY(!types.isVisible());
  const QModelIndex found = drive.Node(TreeKind::items, 0);
  QCOMPARE(found.data().toString(), QStringLiteral("Found by Content"));
  QVERIFY(drive.Tree(TreeKind::items).isExpanded(found));
  const auto* nodes = found.model();
  QCOMPARE(nodes->rowCount(found), 2);
  QCOMPARE(nodes->index(0, 0, found).data().toString(), QStringLiteral("jpg"));
  QCOMPARE(nodes->index(1, 0, found).data().toString(), QStringLiteral("png"));
  QCOMPARE(drive.Names(), (std::vector<std::string>{"jpg", "png"}));
  // In a type's folder: the deleted entry's name (its first letter lost).
  drive.DoubleClickRow(0);
  QCOMPARE(drive.Names().size(), std::size_t{1});
  QVERIFY(drive.Cell(0, 0).endsWith(QStringLiteral("HOTO.JPG")));
  QVERIFY(drive.Cell(0, 1).startsWith(QStringLiteral("Deleted ")));
}

}  // namespace salvex::testing
