#include "link/qt_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QMetaObject>
#include <QSerialPort>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <system_error>
#include <thread>

#include "link/com_ports.h"
#include "link/echo_filter.h"
#include "link/line_settings.h"
#include "link/line_speed.h"

namespace qz {

namespace {

// Bytes the port holds back for a line that does not take them; a frame that would go beyond
// is refused. The size of a controller port's transmit buffer.
constexpr qint64 kOutputQueueLimit = 4096;

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

std::string osWords(int err) {
  return std::generic_category().message(err);
}

// Qt says "permission" both for a lock file another QSerialPort holds and for a device the
// user may not open. Opening the device directly tells them apart.
PortError permissionCause(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    ::close(fd);
    return PortError::InUse;  // the device opens: the lock is what stopped Qt
  }
  switch (errno) {
    case EACCES:
    case EPERM:
      return PortError::AccessDenied;
    case ENOENT:
    case ENODEV:
      return PortError::NoSuchPort;
    default:
      return PortError::InUse;  // EBUSY: held with the exclusive flag
  }
}

// A program that opened the device through QSerialPort or another UUCP-style program holds a
// lock file "LCK..<device without /dev/, / as _>" with its process id on the first line, in the
// first of these folders it can use. A file whose process is gone is stale.
bool heldByLockFile(const std::string& path) {
  std::string name = path.starts_with("/dev/") ? path.substr(5) : path;
  std::replace(name.begin(), name.end(), '/', '_');
  for (const char* folder : {"/var/lock", "/run/lock", "/tmp"}) {
    std::ifstream lock(std::string(folder) + "/LCK.." + name);
    long pid = 0;
    if (lock >> pid && pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) {
      return true;
    }
  }
  return false;
}

}  // namespace

struct QtSerialPort::Impl {
  explicit Impl(QtSerialPort& o);
  ~Impl();
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  void fail(PortError e, std::string text) {
    error = e;
    errorText = std::move(text);
  }
  // Puts the settings on the open device and checks the speed it really took.
  bool apply(const LineSettings& s);
  void schedule();
  void service();
  // Takes what Qt has read through the echo filter into `input`.
  void pull();
  // Looks for an echo that is due: what came meanwhile is read first.
  void echoDue();
  void armEchoTimer();
  [[nodiscard]] bool enoughWaiting() const {
    return threshold > 0 && input.size() >= static_cast<std::size_t>(threshold);
  }
  void notify(CommEvent e);
  void portError(QSerialPort::SerialPortError e);
  void pushOutput();
  void drain();
  void traceStep(const std::string& step) const {
    if (trace) trace(step);
  }
  [[nodiscard]] bool deviceStillThere() const;
  [[nodiscard]] bool live() const { return serial.isOpen() && !lost; }

  QtSerialPort& owner;
  int number = 0;
  std::string devicePath;  // when set, opened instead of COMn's device
  LineSettings line;
  std::string settingsText = "9600,N,8,1";
  PortError error = PortError::None;
  std::string errorText;
  int threshold = 0;
  CommEvent event = CommEvent::None;
  bool opening = false;     // errors while opening are the open's own answer
  bool lost = false;        // the device went away; the port is closed from the event loop
  bool lostUntold = false;  // the Lost notification is still to be delivered
  bool inOnComm = false;    // a notification is running
  bool recheck = false;     // something happened meanwhile that may need a notification
  bool serviceQueued = false;
  bool stalled = false;      // the line stopped taking bytes; cleared once it took them all
  bool stallUntold = false;  // the TxFull notification is still to be delivered
  QTimer drainRetry;         // hands held-back bytes to the line again while it is slow
  // Every exchange hears its own frames back through an echoing adapter: they leave here,
  // before the threshold counts anything. `input` is what waits for the tool.
  EchoFilter echo;
  std::vector<std::uint8_t> input;
  QTimer echoTimer;      // when an echo is due
  std::string openPath;  // of the open port
  std::function<void(std::string_view)> trace;
  int idleReadErrors = 0;  // read errors in a row on a device that is still there
  QSerialPort serial;      // last: destroyed first, while the fields its handlers touch still live
};

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
  echo.received({first, static_cast<std::size_t>(data.size())}, input);
  armEchoTimer();
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
  if (input.size() > before && enoughWaiting()) schedule();
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
  // and our own input discard emptied it before Qt read. The device is then still there and
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
    return;
  }
  pull();
  if (live() && enoughWaiting()) notify(CommEvent::Receive);
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

QtSerialPort::QtSerialPort() : d_(std::make_unique<Impl>(*this)) {}
QtSerialPort::~QtSerialPort() = default;

void QtSerialPort::setPortNumber(int n) {
  d_->number = n;
}
void QtSerialPort::setDevicePath(std::string path) {
  d_->devicePath = std::move(path);
}

int QtSerialPort::portNumber() const {
  return d_->number;
}

bool QtSerialPort::setSettings(std::string_view text) {
  const auto parsed = parseLineSettings(text);
  if (!parsed) {
    d_->fail(PortError::SettingsRefused, "invalid settings " + std::string(text));
    return false;
  }
  if (d_->live() && !d_->apply(*parsed)) {
    const std::string why = d_->errorText;
    d_->apply(d_->line);  // back to what worked
    d_->fail(PortError::SettingsRefused, why);
    return false;
  }
  d_->line = *parsed;
  d_->settingsText = std::string(text);
  d_->echo.setBaud(parsed->baud);
  return true;
}

std::string QtSerialPort::settings() const {
  return d_->settingsText;
}

bool QtSerialPort::open() {
  Impl& d = *d_;
  if (d.live()) {
    d.fail(PortError::Other, "the port is already open");
    return false;
  }
  if (d.serial.isOpen()) d.serial.close();  // went away; the event loop has not closed it yet
  d.lost = false;
  d.lostUntold = false;
  d.event = CommEvent::None;
  d.echo.clear();
  d.input.clear();

  const std::string path = d.devicePath.empty() ? comDevicePath(d.number) : d.devicePath;
  if (path.empty()) {
    d.fail(PortError::NoSuchPort, osWords(ENOENT));
    return false;
  }
  // A device that is not there is known without touching a lock file; this keeps the probe of
  // fifty names at start-up quick.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
    d.fail(PortError::NoSuchPort, osWords(ENOENT));
    return false;
  }

  // Qt opens with its defaults (9600,N,8,1, no flow control); the settings go on afterwards so
  // that a refused setting is told apart from a device that does not open.
  d.serial.setPortName(QString::fromLocal8Bit(path.c_str()));
  d.serial.setBaudRate(QSerialPort::Baud9600);
  d.serial.setDataBits(QSerialPort::Data8);
  d.serial.setParity(QSerialPort::NoParity);
  d.serial.setStopBits(QSerialPort::OneStop);
  d.opening = true;
  const bool opened = d.serial.open(QIODevice::ReadWrite);
  if (!opened) {
    d.opening = false;
    const std::string words = d.serial.errorString().toStdString();
    switch (d.serial.error()) {
      case QSerialPort::DeviceNotFoundError:
        d.fail(PortError::NoSuchPort, words);
        break;
      case QSerialPort::PermissionError:
        d.fail(permissionCause(path), words);
        break;
      default:
        d.fail(PortError::Other, words);
        break;
    }
    d.serial.clearError();
    return false;
  }
  const bool applied = d.apply(d.line);
  d.opening = false;
  if (!applied) {
    d.serial.close();
    d.serial.clearError();
    return false;
  }
  d.openPath = path;
  d.echo.setBaud(d.line.baud);
  d.idleReadErrors = 0;
  d.stalled = false;
  d.stallUntold = false;
  d.error = PortError::None;
  d.errorText.clear();
  return true;
}

bool QtSerialPort::probe() {
  Impl& d = *d_;
  if (d.live()) {
    d.fail(PortError::Other, "the port is already open");
    return false;
  }
  const std::string path = d.devicePath.empty() ? comDevicePath(d.number) : d.devicePath;
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) {
    d.fail(PortError::NoSuchPort, osWords(ENOENT));
    return false;
  }
  if (heldByLockFile(path)) {
    d.fail(PortError::InUse, "locked by another program");
    return false;
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    switch (err) {
      case ENOENT:
      case ENODEV:
      case ENXIO:
        d.fail(PortError::NoSuchPort, osWords(err));
        break;
      case EACCES:
      case EPERM:
        d.fail(PortError::AccessDenied, osWords(err));
        break;
      case EBUSY:
        d.fail(PortError::InUse, osWords(err));  // held with the exclusive flag
        break;
      default:
        d.fail(PortError::Other, osWords(err));
        break;
    }
    return false;
  }
  // Only a terminal is a port. A ttyS name with no UART behind it opens, but its modem lines
  // cannot be read (EIO); a pseudo-terminal has none to read (ENOTTY) and is a port.
  int lines = 0;
  const bool terminal = ::isatty(fd) == 1;
  const bool placeholder = ::ioctl(fd, TIOCMGET, &lines) != 0 && errno == EIO;
  ::close(fd);
  if (!terminal || placeholder) {
    d.fail(PortError::Other, terminal ? osWords(EIO) : osWords(ENOTTY));
    return false;
  }
  return true;
}

void QtSerialPort::close() {
  Impl& d = *d_;
  d.drainRetry.stop();
  if (d.serial.isOpen()) {
    if (!d.lost) d.drain();
    d.traceStep("close");
    d.serial.close();
  }
  d.lost = false;
  d.lostUntold = false;
  d.stalled = false;
  d.stallUntold = false;
  d.echo.clear();
  d.input.clear();
  d.echoTimer.stop();
}

void QtSerialPort::setTrace(std::function<void(std::string_view)> trace) {
  d_->trace = std::move(trace);
}

bool QtSerialPort::isOpen() const {
  return d_->live();
}
PortError QtSerialPort::lastError() const {
  return d_->error;
}
std::string QtSerialPort::lastErrorText() const {
  return d_->errorText;
}

void QtSerialPort::clearError() {
  d_->error = PortError::None;
  d_->errorText.clear();
}

void QtSerialPort::setReceiveThreshold(int bytes) {
  d_->threshold = bytes > 0 ? bytes : 0;
  // Enough may wait already; that notification too comes from the event loop.
  d_->pull();
  if (d_->live() && d_->enoughWaiting()) d_->schedule();
}

int QtSerialPort::receiveThreshold() const {
  return d_->threshold;
}

std::size_t QtSerialPort::bytesWaiting() const {
  d_->pull();
  return d_->live() ? d_->input.size() : 0;
}

std::vector<std::uint8_t> QtSerialPort::readAll() {
  if (!d_->live()) return {};
  d_->pull();
  std::vector<std::uint8_t> out;
  out.swap(d_->input);
  return out;
}

void QtSerialPort::discardInput() {
  if (!d_->live()) return;
  // Echo that has come still takes its place in the echo, so the rest of it is known.
  d_->pull();
  d_->input.clear();
  d_->echo.discardHeld();
  d_->serial.clear(QSerialPort::Input);
}

bool QtSerialPort::write(std::span<const std::uint8_t> bytes) {
  Impl& d = *d_;
  if (!d.live()) {
    d.fail(PortError::Other, "the port is closed");
    return false;
  }
  const auto size = static_cast<qint64>(bytes.size());
  // A line that does not drain (the other end stopped reading, flow held) keeps what it was
  // given; beyond that, frames are refused whole, the user is told once, and the connection
  // stays.
  if (d.serial.bytesToWrite() > 0) d.serial.flush();
  if (d.serial.bytesToWrite() + size > kOutputQueueLimit) {
    d.fail(PortError::Other, "the line is not draining");
    if (!d.stalled) {
      d.stalled = true;
      d.stallUntold = true;
      d.schedule();
    }
    d.pushOutput();
    return false;
  }
  if (d.serial.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
    d.fail(PortError::Other, d.serial.errorString().toStdString());
    return false;
  }
  d.echo.sent(bytes, EchoFilter::Clock::now());
  d.armEchoTimer();
  // Hands the bytes to the driver now rather than on the next turn of the event loop, so a
  // frame written right before close() still goes out. It does not wait for the line.
  d.pushOutput();
  return d.live();
}

CommEvent QtSerialPort::commEvent() const {
  return d_->event;
}

}  // namespace qz
