// salvex_gui_screenshots: the window of salvex-gui, made as salvex-gui makes
// it, walked through by the screenshot tour. A test program: the shipped
// window has no tour in it.
//
//   salvex_gui_screenshots FOLDER IMAGE...

#include <QApplication>
#include <QDir>

#include <cstdio>

#include "gui/gui_program.h"
#include "screenshot_tour.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: salvex_gui_screenshots FOLDER IMAGE...\n");
    return 2;
  }
  QApplication application(argc, argv);
  salvex::gui::PrepareApplication();

  const QStringList arguments = QApplication::arguments();
  salvex::gui::GuiProgram::Settings settings;
  for (const QString& image : arguments.mid(2)) settings.images.push_back(image.toStdString());
  settings.startFolder = QDir::currentPath().toStdString();
  salvex::gui::GuiProgram program(std::move(settings));
  program.Start();

  salvex::gui::ScreenshotTour tour(program, arguments.at(1));
  tour.Start();
  return application.exec();
}
