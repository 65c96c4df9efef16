#include "link/qt_serial_port.h"

#include <filesystem>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSerialPort>
#include <cerrno>

#include "link/com_ports.h"
#include "link/qt_serial_port_impl.h"

namespace qz {

namespace {

// Bytes the port holds back for a line that does not take them; a frame that would go beyond
// is refused. The size of a controller port's transmit buffer.
constexpr qint64 kOutputQueueLimit = 4096;

}  // namespace

using serial_device::heldByLockFile;
using serial_device::osWords;
using serial_device::permissionCause;

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

LineSettings QtSerialPort::settings() const {
  return d_->line;
}

bool QtSerialPort::open(const LineSettings& settings) {
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
  d.untold = false;

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
  // Qt names its lock file after the port's name: two names of one device (the device and a
  // link to it) must take the one lock, so Qt is given the device itself.
  std::error_code resolving;
  const std::string device = std::filesystem::canonical(path, resolving).string();
  d.serial.setPortName(QString::fromLocal8Bit(resolving ? path.c_str() : device.c_str()));
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
  const bool applied = d.apply(settings);
  d.opening = false;
  if (!applied) {
    d.serial.close();
    d.serial.clearError();
    return false;
  }
  // Whatever waited on the line before it was opened answers nothing asked of it.
  d.serial.clear(QSerialPort::Input);
  d.line = settings;
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
  std::error_code resolving;
  if (heldByLockFile(std::filesystem::canonical(path, resolving).string()) ||
      heldByLockFile(path)) {
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
  d.untold = false;
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

std::size_t QtSerialPort::bytesWaiting() const {
  // Bytes the driver holds arrived before now, also when Qt's read notification has not run yet
  // (a busy machine runs a due timer first): they are read here.
  int queued = 0;
  if (d_->live() && ::ioctl(static_cast<int>(d_->serial.handle()), FIONREAD, &queued) == 0 &&
      queued > 0) {
    d_->serial.waitForReadyRead(0);
  }
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
