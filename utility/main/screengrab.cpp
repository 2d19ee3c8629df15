// tarvik-screengrab FILE.png [DELAY_MS]: saves what the X display shows,
// cut to the windows on it (everything that is not the black root), for the
// screenshot script that runs the utility under Xvfb.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: tarvik-screengrab FILE.png [DELAY_MS]\n");
    return 2;
  }
  if (argc > 2) QThread::msleep(static_cast<unsigned long>(std::atol(argv[2])));
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return 1;
  const QImage image = screen->grabWindow(0).toImage();
  QRect used;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) != 0) used |= QRect(x, y, 1, 1);
  const QImage out = used.isEmpty() ? image : image.copy(used);
  return out.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
