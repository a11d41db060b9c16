// The yardstick for the start-up benchmark: a minimal Qt Widgets window with
// one label, started and painted the way the program is. At its own size, or
// at the size the first argument gives ("439x530"), for a first frame as
// large as the program's.
#include <QApplication>
#include <QLabel>
#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel label(QStringLiteral("Sonarix"));
  int width = 0, height = 0;
  if (argc > 1 && std::sscanf(argv[1], "%dx%d", &width, &height) == 2 && width > 0 && height > 0)
    label.resize(width, height);
  label.show();
  return QApplication::exec();
}
