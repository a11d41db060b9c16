// The yardstick for the start-up benchmark: a minimal Qt Widgets window with
// one label, started and painted the way the program is.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel label(QStringLiteral("Sonarix"));
  label.show();
  return QApplication::exec();
}
