#pragma once
// The port over QSerialPort.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "link/serial_port.h"

namespace qz {

class QtSerialPort final : public SerialPort {
 public:
  QtSerialPort();
  ~QtSerialPort() override;
  QtSerialPort(const QtSerialPort&) = delete;
  QtSerialPort& operator=(const QtSerialPort&) = delete;

  void setPortNumber(int n) override;
  // A device opened by its path rather than through a COM name; empty goes back to the name.
  void setDevicePath(std::string path);
  [[nodiscard]] int portNumber() const override;
  using SerialPort::open;
  bool open(const LineSettings& settings) override;
  [[nodiscard]] LineSettings settings() const override;
  // Opens the device with O_NOCTTY | O_NONBLOCK and closes it: no lock file, no line settings,
  // no drain. A live lock file of another program, or the exclusive flag (EBUSY), is "in use".
  bool probe() override;
  void close() override;
  [[nodiscard]] bool isOpen() const override;
  [[nodiscard]] PortError lastError() const override;
  [[nodiscard]] std::string lastErrorText() const override;
  void clearError() override;
  [[nodiscard]] std::size_t bytesWaiting() const override;
  std::vector<std::uint8_t> readAll() override;
  bool write(std::span<const std::uint8_t> bytes) override;
  [[nodiscard]] CommEvent commEvent() const override;

  // Steps of closing as they happen, for tests of their order: "drained" or "not drained"
  // (the output went out, or the bounded wait gave up), then "close" (the device's own
  // settings put back and the device closed).
  void setTrace(std::function<void(std::string_view)> trace);

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace qz
