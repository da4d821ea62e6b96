// png_check WIDTHxHEIGHT FILE...: each file is a PNG of that size (any size
// for 0x0) that shows something: many colours, and no single colour
// covering nearly all of it.
// Prints one line per file; exits 1 when any fails.

#include <QCoreApplication>
#include <QHash>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);  // no display needed to read a PNG
  int width = 0;
  int height = 0;
  if (argc < 3 || std::sscanf(argv[1], "%dx%d", &width, &height) != 2) {
    std::fprintf(stderr, "usage: png_check WIDTHxHEIGHT FILE...\n");
    return 2;
  }
  int failures = 0;
  for (int i = 2; i < argc; ++i) {
    const QImage image(QString::fromLocal8Bit(argv[i]));
    QHash<QRgb, int> colours;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) ++colours[image.pixel(x, y)];
    }
    int commonest = 0;
    for (const int count : colours) commonest = std::max(commonest, count);
    const double share = image.isNull() ? 1.0 : double(commonest) / (double(image.width()) * image.height());
    const bool anySize = width == 0 && height == 0 && !image.isNull();
    const bool sized = anySize || (image.width() == width && image.height() == height);
    // A dialog is mostly its plain background, a window much less so.
    const bool drawn = colours.size() >= 64 && share < (anySize ? 0.97 : 0.9);
    std::printf("%s: %dx%d, %lld colours, commonest %.0f%% %s\n", argv[i], image.width(), image.height(),
                static_cast<long long>(colours.size()), share * 100, sized && drawn ? "ok" : "FAILED");
    failures += sized && drawn ? 0 : 1;
  }
  return failures == 0 ? 0 : 1;
}
