#pragma once
// An in-memory port for tests: records every write, delivers injected bytes through the
// receive threshold exactly as the real adapter does, and fails on request.

#include <map>

#include "link/serial_port.h"

namespace qz {

class FakePort final : public SerialPort {
 public:
  void setPortNumber(int n) override { number_ = n; }
  [[nodiscard]] int portNumber() const override { return number_; }
  bool setSettings(std::string_view text) override;
  [[nodiscard]] std::string settings() const override { return settings_; }
  bool open() override;
  void close() override;
  [[nodiscard]] bool isOpen() const override { return open_; }
  [[nodiscard]] PortError lastError() const override { return error_; }
  [[nodiscard]] std::string lastErrorText() const override { return errorText_; }
  void clearError() override {
    error_ = PortError::None;
    errorText_.clear();
  }
  void setReceiveThreshold(int bytes) override;
  [[nodiscard]] int receiveThreshold() const override { return threshold_; }
  [[nodiscard]] std::size_t bytesWaiting() const override { return input_.size(); }
  std::vector<std::uint8_t> readAll() override;
  void discardInput() override { input_.clear(); }
  bool write(std::span<const std::uint8_t> bytes) override;
  [[nodiscard]] CommEvent commEvent() const override { return event_; }

  // ---- Test controls ----
  // What the ports 1..50 do when opened; a port not named here does not exist.
  std::map<int, PortError> ports;  // PortError::None: opens
  // Settings texts the port refuses.
  std::vector<std::string> refusedSettings;
  // Every write, one entry per output operation.
  std::vector<std::vector<std::uint8_t>> writes;
  // Every open and close, in order: "open 3", "close 3".
  std::vector<std::string> history;

  // Bytes arriving from the controller; the notification runs at once once the threshold is
  // reached.
  void inject(std::span<const std::uint8_t> bytes);
  void inject(std::initializer_list<std::uint8_t> bytes);
  // The device vanishes: the port closes and a Lost notification runs.
  void pull();
  // All writes joined, for checks of what went on the line.
  [[nodiscard]] std::vector<std::uint8_t> line() const;

 private:
  void notify(CommEvent e);

  int number_ = 0;
  std::string settings_ = "9600,N,8,1";
  bool open_ = false;
  PortError error_ = PortError::None;
  std::string errorText_;
  int threshold_ = 0;
  std::vector<std::uint8_t> input_;
  CommEvent event_ = CommEvent::None;
};

}  // namespace qz
