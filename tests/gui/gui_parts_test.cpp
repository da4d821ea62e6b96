// The window's parts that need no disk: the sweep's rate, the list's date
// keys, the programs offered by Open With, and the relay between workers
// and the window.

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QListView>
#include <QTableView>
#include <QFile>
#include <QMimeDatabase>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "gui/desktop_applications.h"
#include "gui/open_with_dialog.h"
#include "gui/file_types.h"
#include "gui/item_list_pane.h"
#include "gui/item_table_model.h"
#include "gui/sweep_rate.h"
#include "wizard/step_presentation.h"
#include "gui/ui_port_relay.h"
#include "support/recording_ui_port.h"
#include "support/tool_runner.h"
#include "window_flow_test.h"

namespace salvex::testing {
namespace {

void WriteFile(const QString& path, const QByteArray& text) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(text);
}

}  // namespace

void GuiPartsTest::SweepRateIsToldOnceSteady() {
  // Samples every 0.1 s of `perSecond` sectors a second, for `seconds`;
  // then, if `burst`, two seconds at four times the rate.
  struct Case {
    const char* name;
    double seconds;
    bool burst;
    bool rateKnown;
    std::optional<double> secondsLeft;
  };
  constexpr double kPerSecond = 200000;  // 100 MB/s
  constexpr std::uint64_t kTotal = 4000000;
  const Case cases[] = {
      {"the first second says nothing", 1.0, false, false, std::nullopt},
      {"a steady rate tells the time left", 8.0, false, true, (kTotal - 8.0 * kPerSecond) / kPerSecond},
      {"a rate that jumps tells no time", 6.0, true, true, std::nullopt},
  };
  for (const Case& test : cases) {
    gui::SweepRate rate(kTotal);
    double t = 0;
    double done = 0;
    for (; t <= test.seconds + 1e-9; t += 0.1, done += kPerSecond * 0.1) rate.Add(t, static_cast<std::uint64_t>(done));
    for (int i = 0; test.burst && i < 20; ++i, t += 0.1, done += 4 * kPerSecond * 0.1) {
      rate.Add(t, static_cast<std::uint64_t>(done));
    }
    QVERIFY2(rate.BytesPerSecond().has_value() == test.rateKnown, test.name);
    QVERIFY2(rate.SecondsLeft().has_value() == test.secondsLeft.has_value(), test.name);
    if (test.secondsLeft) QVERIFY2(std::abs(*rate.SecondsLeft() - *test.secondsLeft) < 0.5, test.name);
    if (test.rateKnown && !test.burst) QVERIFY2(rate.Text().rfind("102.4 MB/s", 0) == 0, test.name);
  }
  QCOMPARE(gui::DurationText(200), std::string("3 min 20 s"));
  QCOMPARE(gui::DurationText(3900), std::string("1 h 5 min"));
}

void GuiPartsTest::DatesSortByCalendar() {
  const std::pair<const char*, quint64> cases[] = {
      {"28-12-2006 ", 20061228000000ULL},
      {"05-03-2004 ", 20040305000000ULL},
      {"7-12-2006 9:5:3", 20061207090503ULL},
      {"5-3-2004 8:7:6", 20040305080706ULL},
      {"", 0},
  };
  for (const auto& [text, key] : cases) QCOMPARE(gui::DateSortKey(text), key);
}

void GuiPartsTest::DesktopEntriesForAType() {
  TempDir dir;
  const QString data = QString::fromStdString(dir.Path().string());
  WriteFile(data + "/applications/mimeinfo.cache",
            "[MIME Cache]\ntext/plain=editor.desktop;hidden.desktop;vim.desktop;\nimage/png=viewer.desktop;\n");
  WriteFile(data + "/applications/editor.desktop",
            "[Desktop Entry]\nType=Application\nName=Editor\nName[de]=Bearbeiter\nExec=my-editor --line 1 %f\n"
            "Icon=accessories-text-editor\n[Desktop Action New]\nName=Other\nExec=other\n");
  WriteFile(data + "/applications/hidden.desktop", "[Desktop Entry]\nType=Application\nName=Hidden\nExec=h %f\nNoDisplay=true\n");
  WriteFile(data + "/applications/vim.desktop",
            "[Desktop Entry]\nType=Application\nName=Vim\nExec=vim %f\nTerminal=true\n");  // needs a terminal
  // A C source is a kind of plain text: the editor serves it too.
  const auto found = gui::ApplicationsFor(QMimeDatabase().mimeTypeForName(QStringLiteral("text/x-csrc")), {data});
  QCOMPARE(found.size(), std::size_t{1});
  QCOMPARE(found[0].name, QStringLiteral("Editor"));
  QCOMPARE(found[0].exec, QStringLiteral("my-editor --line 1 %f"));

  const QString file = QStringLiteral("/tmp/a b.txt");
  const std::pair<const char*, QStringList> launches[] = {
      {"my-editor %f", {"my-editor", file}},
      {"viewer \"--title=%c\" %U", {"viewer", "--title=Viewer", "file:///tmp/a%20b.txt"}},
      {"tool --flag", {"tool", "--flag", file}},
      {"\"/opt/My App/run\" %F %i", {"/opt/My App/run", file, "--icon", "view"}},
      {"run \"say \\\"hi\\\"\" 100%% %d %f", {"run", "say \"hi\"", "100%", file}},
  };
  for (const auto& [exec, expected] : launches) {
    const gui::DesktopApplication application{"v.desktop", "Viewer", QString::fromLatin1(exec), "view", "/x/v.desktop"};
    QCOMPARE(gui::LaunchArguments(application, file), expected);
  }
}

void GuiPartsTest::OpenWithStartsTheProgramPicked() {
  TempDir dir;
  const QString data = QString::fromStdString(dir.Path().string());
  const QString opened = data + "/opened.txt";
  WriteFile(data + "/applications/mimeinfo.cache", "[MIME Cache]\ntext/plain=copier.desktop;\n");
  WriteFile(data + "/applications/copier.desktop",
            ("[Desktop Entry]\nType=Application\nName=Copier\nExec=cp %f \"" + opened + "\"\n").toUtf8());
  WriteFile(data + "/letter.txt", "Dear bank");
  qputenv("XDG_DATA_HOME", data.toUtf8());
  qputenv("XDG_DATA_DIRS", (data + "/nowhere").toUtf8());
  // The dialog lists the copier first; Open starts it on the file.
  QTimer::singleShot(100, [] {
    if (auto* dialog = qobject_cast<gui::OpenWithDialog*>(QApplication::activeModalWidget())) dialog->accept();
  });
  std::string error;
  QVERIFY(gui::OpenWithDialog::Run(nullptr, data + "/letter.txt", error));
  QTRY_VERIFY(QFile::exists(opened));
  // A type nothing is registered for is told, with no dialog.
  QVERIFY(!gui::OpenWithDialog::Run(nullptr, data + "/photo.png", error));
  QVERIFY(error.rfind("No program is registered", 0) == 0);
  qunsetenv("XDG_DATA_HOME");
  qunsetenv("XDG_DATA_DIRS");
}

void GuiPartsTest::AFolderOf200000FilesOpensAndSorts() {
  constexpr std::uint32_t kFiles = 200000;
  ItemStore store;
  HitLists hits;
  for (std::uint32_t i = 0; i < kFiles; ++i) {
    store.AddFatFile("file" + std::to_string(i) + (i % 3 == 0 ? ".txt" : ".jpg"), i + 2, 0, 0x359C, 0x359C, i % 977, i % 5 == 0);
  }
  gui::FileTypes types;
  wizard::ItemListModel rows(store, hits, [&types](std::string_view name) { return types.TypeName(name); });
  rows.ShowFolder(wizard::ItemSource::fat, 0, FilterTable{});
  gui::ItemListPane pane(types, [](const std::string&) {});
  pane.resize(800, 600);
  pane.show();
  pane.SetLayout(wizard::ListLayout::itemsSizeRight);
  pane.SetRows(&rows);
  QCoreApplication::processEvents();
  QCOMPARE(pane.Table()->model()->rowCount(), int(kFiles));
  // Largest first: a click on Size sorts up, a second down.
  pane.Table()->sortByColumn(2, Qt::DescendingOrder);
  QCoreApplication::processEvents();
  QCOMPARE(pane.Table()->model()->index(0, 2).data().toString(), QStringLiteral("976"));
  QCOMPARE(pane.SelectedRow(), std::nullopt);
  pane.Table()->selectRow(0);
  // The selection leads back to the wizard's row, whatever the sort.
  const auto selected = pane.SelectedRow();
  QVERIFY(selected.has_value());
  QCOMPARE(QString::fromStdString(rows.Name(*selected)), pane.Table()->model()->index(0, 0).data().toString());
  // The icons view shows the same rows, in the same order.
  pane.SetViewMode(wizard::ViewMode::icons);
  QCoreApplication::processEvents();
  QCOMPARE(pane.ActiveView(), static_cast<QAbstractItemView*>(pane.Icons()));
  QCOMPARE(pane.Icons()->model()->index(0, 0).data().toString(), pane.Table()->model()->index(0, 0).data().toString());
}

// The Name column widens to the longest name, up to half the view; a width
// the user drags is what the next list starts with.
void GuiPartsTest::ColumnWidthsFitLongNamesAndAreRemembered() {
  ItemStore store;
  HitLists hits;
  store.AddFatFile("a.txt", 10, 0, 0x359C, 0x359C, 1, false);
  store.AddFatFile("A rather long file name that no default column shows whole.docx", 11, 0, 0x359C, 0x359C, 1, false);
  gui::FileTypes types;
  wizard::ItemListModel rows(store, hits, [&types](std::string_view name) { return types.TypeName(name); });
  rows.ShowFolder(wizard::ItemSource::fat, 0, FilterTable{});
  const int standard = wizard::ItemColumns(wizard::ListLayout::itemsSizeRight)[0].width;
  {
    gui::ItemListPane pane(types, [](const std::string&) {});
    pane.resize(1400, 600);
    pane.show();
    pane.SetLayout(wizard::ListLayout::itemsSizeRight);
    pane.SetRows(&rows);
    const int fitted = pane.Table()->columnWidth(0);
    QVERIFY2(fitted > standard + 100 && fitted <= pane.Table()->viewport()->width() / 2, qPrintable(QString::number(fitted)));
    // Half the view at most, and no more than leaves the other columns shown
    // whole (the ID column is hidden).
    pane.resize(500, 600);
    pane.SetRows(&rows);
    int others = 0;
    for (int column = 1; column < 5; ++column) others += wizard::ItemColumns(wizard::ListLayout::itemsSizeRight)[column].width;
    const int view = pane.Table()->viewport()->width();
    QCOMPARE(pane.Table()->columnWidth(0), std::max(standard, std::min(view / 2, view - others)));
    pane.Table()->horizontalHeader()->resizeSection(3, 222);  // as a drag does
  }
  gui::ItemListPane again(types, [](const std::string&) {});
  again.SetLayout(wizard::ListLayout::itemsSizeRight);
  again.SetRows(&rows);
  QCOMPARE(again.Table()->columnWidth(3), 222);
  QSettings().clear();
}

// The warning mark of a deleted FAT file: its tool tip names each reason,
// and a file without one has neither.
void GuiPartsTest::MarkedDeletedFilesSayWhyInTheirToolTips() {
  ItemStore store;
  HitLists hits;
  for (const char* name : {"plain.txt", "over.txt", "pieces.txt", "twice.txt"}) {
    store.AddFatFile(name, 10, 0, 0x359C, 0x359C, 100, true);
  }
  store.FatFiles().At(1).overwritten = true;
  store.FatFiles().At(2).fragmentInferred = true;
  store.FatFiles().At(3).conflictsWith = {2};
  gui::FileTypes types;
  wizard::ItemListModel rows(store, hits, [&types](std::string_view name) { return types.TypeName(name); });
  rows.ShowFolder(wizard::ItemSource::fat, 0, FilterTable{});
  gui::ItemListPane pane(types, [](const std::string&) {});
  pane.SetLayout(wizard::ListLayout::itemsSizeRight);
  pane.SetRows(&rows);
  const QAbstractItemModel* model = pane.Table()->model();
  QCOMPARE(model->rowCount(), 4);
  const auto tip = [&](int row) { return model->index(row, 0).data(Qt::ToolTipRole).toString(); };
  QCOMPARE(tip(0), QStringLiteral("plain.txt"));
  QVERIFY(tip(1).endsWith(QString::fromUtf8(wizard::kOverwrittenToolTip)));
  QVERIFY(tip(2).endsWith(QString::fromUtf8(wizard::kFragmentInferredToolTip)));
  QVERIFY(tip(3).endsWith(QString::fromUtf8(wizard::kConflictToolTip)));
}

void GuiPartsTest::WorkersReachTheWindowCoalesced() {
  QObject owner;
  RecordingUiPort screen;
  gui::UiPortRelay relay(owner, screen);
  constexpr int kCalls = 100000;
  std::thread worker([&] {
    for (int i = 0; i < kCalls; ++i) {
      relay.SetPanelValue(panel::kCurrentSector, std::to_string(i));
      relay.SetStatus("Reading Sector " + std::to_string(i));
      relay.SetProgress(i * 100 / kCalls);
    }
  });
  worker.join();
  QTRY_COMPARE(screen.panel[std::string(panel::kCurrentSector)], std::to_string(kCalls - 1));
  QCOMPARE(screen.statuses.back(), "Reading Sector " + std::to_string(kCalls - 1));
  // One flush per interval, not one event per call.
  QVERIFY(screen.statuses.size() < 1000);
  QCOMPARE(screen.progress.back(), 99);
  // On the window's own thread a call is drawn at once.
  relay.SetStatus("now");
  QCOMPARE(screen.statuses.back(), std::string("now"));
}

void GuiPartsTest::BoxesFromAWorkerWaitOrAnswerAtQuit() {
  QObject owner;
  RecordingUiPort screen;
  screen.confirmAnswer = true;
  gui::UiPortRelay relay(owner, screen);
  std::optional<bool> answer;
  std::thread asking([&] { answer = relay.Confirm("Go on ?"); });
  // The box is shown on this thread and its answer goes back to the worker.
  QTRY_COMPARE(screen.questions.size(), std::size_t{1});
  asking.join();
  QCOMPARE(answer, std::optional<bool>(true));

  // Quitting while a worker waits for a box that will never be shown: it
  // gets No, and the join below does not hang.
  std::thread waiting([&] { answer = relay.Confirm("Still there ?"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  relay.BeginQuit();
  waiting.join();
  QCOMPARE(answer, std::optional<bool>(false));
  QCOMPARE(screen.questions.size(), std::size_t{1});
}

}  // namespace salvex::testing
