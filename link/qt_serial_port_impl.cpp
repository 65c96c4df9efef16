// How the open port behaves: input through the echo filter, notifications from the event loop
// only, output that waits for a slow line, errors that mean the device went away, the drain
// before closing, and settings the device really took.

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>

#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <thread>

#include "link/line_speed.h"
#include "link/qt_serial_port_impl.h"

namespace qz {

namespace {

QSerialPort::Parity qtParity(char letter) {
  switch (letter) {
    case 'E':
      return QSerialPort::EvenParity;
    case 'O':
      return QSerialPort::OddParity;
    case 'M':
      return QSerialPort::MarkParity;
    case 'S':
      return QSerialPort::SpaceParity;
    default:
      return QSerialPort::NoParity;
  }
}

QSerialPort::StopBits qtStopBits(StopBits s) {
  switch (s) {
    case StopBits::OneAndHalf:
      return QSerialPort::OneAndHalfStop;
    case StopBits::Two:
      return QSerialPort::TwoStop;
    case StopBits::One:
      break;
  }
  return QSerialPort::OneStop;
}

}  // namespace

QtSerialPort::Impl::Impl(QtSerialPort& o) : owner(o) {
  QObject::connect(&serial, &QSerialPort::readyRead, &serial, [this] {
    idleReadErrors = 0;
    schedule();
  });
  QObject::connect(&serial, &QSerialPort::errorOccurred, &serial,
                   [this](QSerialPort::SerialPortError e) { portError(e); });
  drainRetry.setTimerType(Qt::PreciseTimer);
  drainRetry.setInterval(10);
  QObject::connect(&drainRetry, &QTimer::timeout, &serial, [this] { pushOutput(); });
  echoTimer.setTimerType(Qt::PreciseTimer);
  echoTimer.setSingleShot(true);
  QObject::connect(&echoTimer, &QTimer::timeout, &serial, [this] { echoDue(); });
}

void QtSerialPort::Impl::pull() {
  if (!live()) return;
  const QByteArray data = serial.readAll();
  if (data.isEmpty()) return;
  const auto* first = reinterpret_cast<const std::uint8_t*>(data.constData());
  const std::size_t before = input.size();
  echo.received({first, static_cast<std::size_t>(data.size())}, input);
  armEchoTimer();
  came(before);
}

void QtSerialPort::Impl::came(std::size_t before) {
  if (input.size() <= before) return;  // echo only, or held back for now
  untold = true;
  schedule();
}

void QtSerialPort::Impl::armEchoTimer() {
  const auto due = echo.deadline();
  if (!due || !live()) {
    echoTimer.stop();
    return;
  }
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - EchoFilter::Clock::now());
  echoTimer.start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(wait.count(), 0)));
}

void QtSerialPort::Impl::echoDue() {
  if (!live()) return;
  pull();
  // Bytes the driver holds that Qt has not read yet came before now: read them first.
  int queued = 0;
  if (::ioctl(static_cast<int>(serial.handle()), FIONREAD, &queued) == 0 && queued > 0) {
    echoTimer.start(1);
    return;
  }
  // Bytes held back as a possible echo are input after all: they may complete a reply.
  const std::size_t before = input.size();
  echo.expire(EchoFilter::Clock::now(), input);
  armEchoTimer();
  came(before);
}

void QtSerialPort::Impl::pushOutput() {
  if (!live()) {
    drainRetry.stop();
    return;
  }
  if (serial.bytesToWrite() > 0) serial.flush();
  if (serial.bytesToWrite() == 0) {
    stalled = false;
    drainRetry.stop();
  } else if (!drainRetry.isActive()) {
    drainRetry.start();
  }
}

void QtSerialPort::Impl::portError(QSerialPort::SerialPortError e) {
  if (opening || lost || !serial.isOpen()) return;
  if (e != QSerialPort::ReadError && e != QSerialPort::ResourceError &&
      e != QSerialPort::WriteError) {
    return;
  }
  // A line that takes no more bytes for now makes Qt's write fail the same way; the bytes
  // stay with Qt and go out once the line takes them again.
  const bool writing = serial.bytesToWrite() > 0;
  // Qt also calls a read that found nothing an error: the line had something when Qt looked,
  // and nothing was left when it read. The device is then still there and
  // the connection goes on. A device that really went away shows a hang-up or is gone from
  // /dev; Qt then repeats the error for as long as the port stays open, so the first one
  // that finds it gone closes the port (and a run of reads that keep finding nothing, which
  // a healthy line never gives, counts as gone too).
  if (deviceStillThere() && (writing || ++idleReadErrors < 1000)) {
    serial.clearError();
    // Qt stops watching the line after some of these; setting the read buffer size arms it
    // again.
    serial.setReadBufferSize(serial.readBufferSize());
    return;
  }
  lost = true;
  lostUntold = true;
  fail(PortError::Other, serial.errorString().toStdString());
  schedule();
}

bool QtSerialPort::Impl::deviceStillThere() const {
  const int fd = static_cast<int>(serial.handle());
  if (fd < 0) return false;
  pollfd p{fd, POLLIN | POLLOUT, 0};
  if (::poll(&p, 1, 0) < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return false;
  struct stat st {};
  return ::stat(openPath.c_str(), &st) == 0;
}

QtSerialPort::Impl::~Impl() {
  QObject::disconnect(&serial, nullptr, nullptr, nullptr);
  if (serial.isOpen()) serial.close();
}

// Closing puts back the line settings the device had before it was opened, at once; frames
// still on their way would then leave at another speed, and bytes Qt still holds would be
// dropped. So the output goes out first: everything handed to the driver, then the driver's
// queue empty, then the transmitter itself. The wait is bounded by the wire time of what is
// queued (and never more than a second), so a line that does not drain cannot hold the
// window.
void QtSerialPort::Impl::drain() {
  using namespace std::chrono;
  const int fd = static_cast<int>(serial.handle());
  int queued = 0;
  if (fd >= 0 && ::ioctl(fd, TIOCOUTQ, &queued) != 0) queued = 0;
  const qint64 bytes = serial.bytesToWrite() + queued;
  const int baud = std::max(line.baud, 300);
  const auto wire = microseconds(bytes * 10 * 1'000'000 / baud);
  const auto deadline = steady_clock::now() + std::min<microseconds>(wire + 100ms, 1s);
  auto left = [&] { return duration_cast<milliseconds>(deadline - steady_clock::now()).count(); };
  while (serial.bytesToWrite() > 0 && left() > 0) {
    if (!serial.waitForBytesWritten(static_cast<int>(left()))) break;
  }
  if (serial.bytesToWrite() > 0) {
    traceStep("not drained");
    return;
  }
  for (;;) {
    if (fd < 0 || ::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued == 0) break;
    if (left() <= 0) {
      traceStep("not drained");
      return;
    }
    std::this_thread::sleep_for(1ms);
  }
  // Only the transmitter's own few bytes are left: tcdrain waits for them.
  if (fd >= 0) ::tcdrain(fd);
  traceStep("drained");
}

bool QtSerialPort::Impl::apply(const LineSettings& s) {
  // A terminal knows one or two stop bits; Qt would quietly send one.
  if (s.stopBits == StopBits::OneAndHalf) {
    fail(PortError::SettingsRefused, "1.5 stop bits are not available on this device");
    return false;
  }
  if (!serial.setDataBits(static_cast<QSerialPort::DataBits>(s.dataBits)) ||
      !serial.setParity(qtParity(s.parity)) || !serial.setStopBits(qtStopBits(s.stopBits)) ||
      !serial.setBaudRate(s.baud)) {
    fail(PortError::SettingsRefused, serial.errorString().toStdString());
    return false;
  }
  // A UART that cannot do the rate clips it or keeps the old one without an error.
  const auto speed = deviceLineSpeed(static_cast<int>(serial.handle()));
  if (speed && !lineSpeedMatches(s.baud, *speed)) {
    fail(PortError::SettingsRefused, "the device runs at " + std::to_string(*speed) + " baud");
    return false;
  }
  return true;
}

void QtSerialPort::Impl::schedule() {
  if (serviceQueued) return;
  serviceQueued = true;
  QMetaObject::invokeMethod(
      &serial, [this] { service(); }, Qt::QueuedConnection);
}

// Runs from the event loop only, never from inside a call of the tool, so a notification can
// never run inside another one or inside the call that caused it.
void QtSerialPort::Impl::service() {
  serviceQueued = false;
  if (lost && serial.isOpen()) serial.close();
  if (inOnComm) {
    recheck = true;
    return;
  }
  if (lostUntold) {
    lostUntold = false;
    stallUntold = false;
    notify(CommEvent::Lost);
    return;
  }
  if (stallUntold && live()) {
    stallUntold = false;
    notify(CommEvent::TxFull);
    schedule();  // bytes that came meanwhile are told next
    return;
  }
  pull();
  // Bytes that came are told once; those a handler left are told again when more come.
  if (live() && untold) {
    untold = false;
    if (!input.empty()) notify(CommEvent::Receive);
  }
}

void QtSerialPort::Impl::notify(CommEvent e) {
  event = e;
  const auto handler = owner.onComm;  // the handler may replace itself
  inOnComm = true;
  if (handler) handler();
  inOnComm = false;
  if (recheck) {
    recheck = false;
    schedule();
  }
}

}  // namespace qz
