// The window's parts that need no disk: the sweep's rate, the list's date
// keys, the programs offered by Open With, and the relay between workers
// and the window.

#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QTest>

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "gui/desktop_applications.h"
#include "gui/item_table_model.h"
#include "gui/sweep_rate.h"
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
            "[MIME Cache]\ntext/plain=editor.desktop;hidden.desktop;\nimage/png=viewer.desktop;\n");
  WriteFile(data + "/applications/editor.desktop",
            "[Desktop Entry]\nType=Application\nName=Editor\nName[de]=Bearbeiter\nExec=my-editor --line 1 %f\n"
            "Icon=accessories-text-editor\n[Desktop Action New]\nName=Other\nExec=other\n");
  WriteFile(data + "/applications/hidden.desktop", "[Desktop Entry]\nType=Application\nName=Hidden\nExec=h %f\nNoDisplay=true\n");
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
