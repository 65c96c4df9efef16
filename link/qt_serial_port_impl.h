#pragma once
// Inside the port over QSerialPort: its state, and what the device and lock files say when Qt
// cannot open it.

#include <QSerialPort>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/echo_filter.h"
#include "link/line_settings.h"
#include "link/qt_serial_port.h"

namespace qz {

namespace serial_device {

[[nodiscard]] std::string osWords(int err);

// Qt says "permission" both for a lock file another QSerialPort holds and for a device the
// user may not open. Opening the device directly tells them apart.
[[nodiscard]] PortError permissionCause(const std::string& path);

// A program that opened the device through QSerialPort or another UUCP-style program holds a
// lock file "LCK..<device without /dev/, / as _>" with its process id on the first line, in the
// first of these folders it can use. A file whose process is gone is stale.
[[nodiscard]] bool heldByLockFile(const std::string& path);

}  // namespace serial_device

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
  // Input grew from `before`: a notification is queued.
  void came(std::size_t before);
  // Looks for an echo that is due: what came meanwhile is read first.
  void echoDue();
  void armEchoTimer();
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
  PortError error = PortError::None;
  std::string errorText;
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
  // before anything is told. `input` is what waits for the tool.
  EchoFilter echo;
  std::vector<std::uint8_t> input;
  bool untold = false;   // input grew since the latest Receive notification
  QTimer echoTimer;      // when an echo is due
  std::string openPath;  // of the open port
  std::function<void(std::string_view)> trace;
  int idleReadErrors = 0;  // read errors in a row on a device that is still there
  QSerialPort serial;      // last: destroyed first, while the fields its handlers touch still live
};

}  // namespace qz
