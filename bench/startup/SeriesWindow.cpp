// The yardstick for the series benchmark: what a plain Qt Widgets window
// costs for the same visible work as the program's 50-echo series, built
// from Qt's stock widgets with nothing of the program's own. A window of the
// main window's size with an editable combo box holding the focus (its caret
// blinks), a log of the same size and font with word wrap and a vertical
// bar, and a 429 x 98 chart scrolled on the server and repainted at its
// right edge on every tick. Return starts the series: per echo a request
// line, one ICMP echo to 127.0.0.1 on the kernel's socket, a reply line, one
// pass of the event loop, then 500 ms of sleep. The chart's 250 ms tick
// falls due during the sleep and runs in the next pass, as the program's
// does.
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWidget>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

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

// One echo to 127.0.0.1 and its reply: true when the reply came. A raw
// socket (where ping sockets are not allowed) also sees the request going
// out on the loopback, behind an IP header; a ping socket only replies.
bool Echo(int socket_fd, bool raw, std::uint16_t sequence) {
  unsigned char packet[8 + 56] = {};
  packet[0] = ICMP_ECHO;
  packet[6] = static_cast<unsigned char>(sequence >> 8);
  packet[7] = static_cast<unsigned char>(sequence);
  std::memset(packet + 8, 'x', 56);
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < sizeof packet; i += 2) sum += (packet[i] << 8) | packet[i + 1];
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  const std::uint16_t check = static_cast<std::uint16_t>(~sum);
  packet[2] = static_cast<unsigned char>(check >> 8);
  packet[3] = static_cast<unsigned char>(check);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (sendto(socket_fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0)
    return false;
  pollfd waiting{socket_fd, POLLIN, 0};
  unsigned char reply[1500];
  while (poll(&waiting, 1, 4000) == 1) {
    const ssize_t got = recv(socket_fd, reply, sizeof reply, 0);
    if (got <= 0) continue;
    const std::size_t at = raw ? static_cast<std::size_t>(reply[0] & 0x0F) * 4 : 0;
    if (static_cast<std::size_t>(got) > at && reply[at] == ICMP_ECHOREPLY) return true;
  }
  return false;
}

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
    int socket_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    const bool raw = socket_fd < 0;
    if (raw) socket_fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (socket_fd < 0) {
      std::fprintf(stderr, "bench_series_window: no ICMP socket: %s\n", std::strerror(errno));
      return;
    }
    const QString target = QStringLiteral("127.0.0.1");
    log_->appendPlainText(QStringLiteral("Resolving host '%1'").arg(target));
    log_->appendPlainText(QStringLiteral("Host '%1' is %1").arg(target));
    log_->appendPlainText(QString());
    tick_.start();
    for (int i = 0; i < 50; ++i) {
      log_->appendPlainText(QStringLiteral("Sending 56 bytes to %1 (%1)").arg(target));
      const auto sent = std::chrono::steady_clock::now();
      const bool answered = Echo(socket_fd, raw, static_cast<std::uint16_t>(i));
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - sent)
                          .count();
      last_sample_ = kScopeHeight - 1 - static_cast<int>(ms);
      log_->appendPlainText(
          answered ? QStringLiteral("Received 56 bytes from %1 in %2 msecs").arg(target).arg(ms)
                   : QStringLiteral("Cannot ping host (%1)").arg(target));
      QCoreApplication::processEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    tick_.stop();
    log_->appendPlainText(QStringLiteral("Ping finished"));
    ::close(socket_fd);
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
