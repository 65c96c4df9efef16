#pragma once
// The serial port as the tool sees it: a pipe of bytes, as QSerialPort is. It opens with its
// line settings, writes frames, tells that bytes came and hands them over, and tells the two
// errors the tool acts on. What the bytes mean is for the caller to decide. The Qt adapter
// drives a real device; the fake serves tests that need to control time and faults.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "link/line_settings.h"

namespace qz {

// Distinct failures the tool tells the user about, plus the ones it keeps to itself.
enum class PortError {
  None,
  NoSuchPort,       // the device does not exist (removed adapter, unknown COM number)
  InUse,            // another program holds the port
  SettingsRefused,  // the port refused the communication settings (a baud rate it cannot do)
  AccessDenied,     // no permission on the device (not in the dialout group)
  Other,            // anything else: the open failed, nothing more to say
};

// Reason of the latest notification.
enum class CommEvent {
  None = 0,
  Receive = 2,    // bytes came: at least one is waiting
  Lost = 100,     // the device went away (adapter pulled, other end hung up); the port is closed
  TxFull = 1010,  // the line does not drain: a frame was refused, the port stays open
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // "COM" n; which device that is comes from the COM name table.
  virtual void setPortNumber(int n) = 0;
  [[nodiscard]] virtual int portNumber() const = 0;

  // Opens the device named by the port number with these line settings. On failure returns
  // false and lastError() says why (PortError::SettingsRefused for settings the device cannot
  // take, a speed it cannot run at among them); the port stays closed. Bytes that reached the
  // device before it was opened are dropped: they answer nothing this connection asked.
  virtual bool open(const LineSettings& settings) = 0;
  // At the controller's own line settings, 9600,N,8,1.
  bool open() { return open(LineSettings{}); }
  // The settings of the latest open() that succeeded.
  [[nodiscard]] virtual LineSettings settings() const = 0;
  virtual void close() = 0;
  [[nodiscard]] virtual bool isOpen() const = 0;

  // Whether the device named by the port number could be opened, asked without configuring it
  // or changing anything of it: the port stays closed. False with lastError() saying why. The
  // probe of the port list at start-up asks this of every COM name.
  virtual bool probe() {
    if (!open()) return false;
    close();
    return true;
  }

  [[nodiscard]] virtual PortError lastError() const = 0;
  // The operating system's words for the last failure, for messages that have no fixed text.
  [[nodiscard]] virtual std::string lastErrorText() const = 0;
  virtual void clearError() = 0;

  // Also the bytes that have reached the device and not yet been announced.
  [[nodiscard]] virtual std::size_t bytesWaiting() const = 0;
  // Takes everything waiting, in the order it came; dropping input is reading it.
  virtual std::vector<std::uint8_t> readAll() = 0;

  // Writes the bytes as one output operation. False when the port is closed or the write is
  // refused; nothing is written then.
  virtual bool write(std::span<const std::uint8_t> bytes) = 0;

  // The reason of the latest notification.
  [[nodiscard]] virtual CommEvent commEvent() const = 0;

  // Called from the event loop, never inside a call of the port's, one notification at a time:
  // Receive whenever bytes came and wait (a handler that leaves them is told again only when
  // more come); Lost once; TxFull once each time the line stops draining.
  std::function<void()> onComm;
};

}  // namespace qz
