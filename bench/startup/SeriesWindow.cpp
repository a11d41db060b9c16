// The yardstick for the series benchmark: what a plain Qt Widgets window
// costs for the same visible work as the program's 50-echo series, built
// from Qt's stock widgets with nothing of the program's window code. A
// window of the main window's size with an editable combo box holding the
// focus (its caret blinks), a log of the same size and font with word wrap
// and a vertical bar, and a 429 x 98 chart scrolled on the server and
// repainted at its right edge on every tick. Return starts the series: per
// echo a request line, one ICMP echo to 127.0.0.1, a reply line, one pass
// of the event loop, then 500 ms of sleep. The echo goes through the
// program's own echo engine (platform/Icmp), so that the two differ in
// their windows alone. The chart's 250 ms tick falls due during the sleep
// and runs in the next pass, as the program's does.
#include "platform/Icmp.h"
#include "platform/Sockets.h"

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr int kScopeWidth = 429, kScopeHeight = 98, kStep = 4;

// The chart: its picture is kept in an image; a tick moves what is shown on
// the server and paints the new strip.
class TChart : public QWidget {
 public:
  explicit TChart(QWidget* parent)
      : QWidget(parent), picture_(kScopeWidth, kScopeHeight, QImage::Format_RGB32) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    picture_.fill(Qt::black);
  }

  void Tick(int sample) {
    QImage moved = picture_.copy(kStep, 0, kScopeWidth - kStep, kScopeHeight);
    QPainter p(&picture_);
    p.drawImage(0, 0, moved);
    p.fillRect(kScopeWidth - kStep, 0, kStep, kScopeHeight, Qt::black);
    // A grid of 8-pixel squares, as dense as the program's.
    p.setPen(QColor(0, 128, 0));
    for (int x = kScopeWidth - kStep; x < kScopeWidth; ++x)
      if (((ticks_ * kStep + x) % 8) == 0) p.drawLine(x, 0, x, kScopeHeight - 1);
    for (int y = 0; y < kScopeHeight; y += 8)
      p.drawLine(kScopeWidth - kStep, y, kScopeWidth - 1, y);
    ++ticks_;
    p.setPen(Qt::yellow);
    p.drawLine(kScopeWidth - kStep - 1, last_, kScopeWidth - 1, sample);
    last_ = sample;
    p.end();
    scroll(-kStep, 0);
    repaint(kScopeWidth - kStep - 1, 0, kStep + 1, kScopeHeight);
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    QPainter p(this);
    p.drawImage(e->rect().topLeft(), picture_, e->rect());
  }

 private:
  QImage picture_;
  int ticks_ = 0;
  int last_ = kScopeHeight - 1;
};

class TWindow : public QWidget {
 public:
  TWindow() {
    setFixedSize(439, 530);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);
    host_ = new QLineEdit(QStringLiteral("127.0.0.1"), this);
    host_->setGeometry(80, 31, 205, 21);
    count_ = new QComboBox(this);
    count_->setEditable(true);
    for (const char* n : {"1", "5", "10", "50", "100"}) count_->addItem(QString::fromLatin1(n));
    count_->setGeometry(335, 31, 82, 21);
    log_ = new QPlainTextEdit(this);
    log_->setGeometry(5, 104, 429, 261);
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    log_->setFocusPolicy(Qt::NoFocus);
    chart_ = new TChart(this);
    chart_->setGeometry(5, 395, kScopeWidth, kScopeHeight);
    tick_.setInterval(250);
    QObject::connect(&tick_, &QTimer::timeout, [this] { chart_->Tick(last_sample_); });
    host_->setFocus();
  }

  // The series runs inside the handler of the key that started it.
  void Series() {
    const platform::HANDLE icmp = platform::IcmpCreateFile();
    if (icmp == platform::INVALID_HANDLE_VALUE) {
      std::fprintf(stderr, "bench_series_window: no echo handle (error %u)\n",
                   static_cast<unsigned>(platform::GetLastError()));
      return;
    }
    const platform::IPAddr loopback = platform::inet_addr("127.0.0.1");
    char request[56];
    std::memset(request, 'x', sizeof request);
    std::vector<char> reply(sizeof request + sizeof(platform::ICMP_ECHO_REPLY));
    platform::IP_OPTION_INFORMATION options{};
    options.Ttl = 128;
    const QString target = QStringLiteral("127.0.0.1");
    log_->appendPlainText(QStringLiteral("Resolving host '%1'").arg(target));
    log_->appendPlainText(QStringLiteral("Host '%1' is %1").arg(target));
    log_->appendPlainText(QString());
    tick_.start();
    for (int i = 0; i < 50; ++i) {
      log_->appendPlainText(QStringLiteral("Sending 56 bytes to %1 (%1)").arg(target));
      const bool answered =
          platform::IcmpSendEcho(icmp, loopback, request, sizeof request, &options, reply.data(),
                                 static_cast<platform::DWORD>(reply.size()), 4000) == 1;
      platform::ICMP_ECHO_REPLY record{};
      std::memcpy(&record, reply.data(), sizeof record);
      const auto ms = static_cast<int>(record.RoundTripTime);
      last_sample_ = kScopeHeight - 1 - ms;
      log_->appendPlainText(
          answered ? QStringLiteral("Received 56 bytes from %1 in %2 msecs").arg(target).arg(ms)
                   : QStringLiteral("Cannot ping host (%1)").arg(target));
      QCoreApplication::processEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    tick_.stop();
    log_->appendPlainText(QStringLiteral("Ping finished"));
    platform::IcmpCloseHandle(icmp);
  }

 private:
  QLineEdit* host_ = nullptr;
  QComboBox* count_ = nullptr;
  QPlainTextEdit* log_ = nullptr;
  TChart* chart_ = nullptr;
  QTimer tick_;
  int last_sample_ = kScopeHeight - 1;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  TWindow window;
  // Return typed in the combo box starts the series, as "Ping !" does.
  struct TReturn : QObject {
    TWindow* window;
    explicit TReturn(TWindow* w) : window(w) {}
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() != QEvent::KeyPress) return false;
      const int key = static_cast<QKeyEvent*>(e)->key();
      if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
      window->Series();
      return true;
    }
  } on_return(&window);
  app.installEventFilter(&on_return);
  window.show();
  return QApplication::exec();
}
