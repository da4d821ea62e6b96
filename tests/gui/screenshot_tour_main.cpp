// salvex_gui_screenshots: the window of salvex-gui, made as salvex-gui makes
// it, walked through by the screenshot tour. A test program: the shipped
// window has no tour in it.
//
//   salvex_gui_screenshots [--size WIDTHxHEIGHT] FOLDER IMAGE...
//
// --size shows the window at that size (a small laptop's screen, a large
// monitor's) instead of its own.

#include <QApplication>
#include <QDir>
#include <QRegularExpression>

#include <cstdio>

#include "gui/gui_program.h"
#include "screenshot_tour.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QStringList arguments = QApplication::arguments().mid(1);
  QSize size;
  if (arguments.size() >= 2 && arguments.first() == QStringLiteral("--size")) {
    const auto parts = QRegularExpression(QStringLiteral("^(\\d+)x(\\d+)$")).match(arguments.at(1));
    if (parts.hasMatch()) size = QSize(parts.captured(1).toInt(), parts.captured(2).toInt());
    arguments = arguments.mid(2);
  }
  if (arguments.size() < 2) {
    std::fprintf(stderr, "usage: salvex_gui_screenshots [--size WIDTHxHEIGHT] FOLDER IMAGE...\n");
    return 2;
  }
  salvex::gui::PrepareApplication();

  salvex::gui::GuiProgram::Settings settings;
  for (const QString& image : arguments.mid(1)) settings.images.push_back(image.toStdString());
  settings.startFolder = QDir::currentPath().toStdString();
  salvex::gui::GuiProgram program(std::move(settings));
  program.Start();
  if (size.isValid()) program.Window().resize(size);

  salvex::gui::ScreenshotTour tour(program, arguments.at(0));
  tour.Start();
  return application.exec();
}
