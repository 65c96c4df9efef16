#pragma once
// An in-memory port for tests: records every write, tells injected bytes exactly as the real
// adapter does, and fails on request.
//
// Like the adapter, it never notifies inside a call: inject() and pull() queue the notification
// on the event loop, and when it runs it looks again at what waits then.
// A notification never runs inside another one. Tests that drive time themselves run the queued
// notification at once with deliver() instead of turning the event loop.

#include <map>
#include <memory>

#include "link/serial_port.h"

class QObject;

namespace qz {

class FakePort final : public SerialPort {
 public:
  FakePort();
  ~FakePort() override;
  FakePort(const FakePort&) = delete;
  FakePort& operator=(const FakePort&) = delete;

  void setPortNumber(int n) override { number_ = n; }
  [[nodiscard]] int portNumber() const override { return number_; }
  using SerialPort::open;
  bool open(const LineSettings& settings) override;
  [[nodiscard]] LineSettings settings() const override { return settings_; }
  void close() override;
  [[nodiscard]] bool isOpen() const override { return open_; }
  [[nodiscard]] PortError lastError() const override { return error_; }
  [[nodiscard]] std::string lastErrorText() const override { return errorText_; }
  void clearError() override {
    error_ = PortError::None;
    errorText_.clear();
  }
  [[nodiscard]] std::size_t bytesWaiting() const override { return input_.size(); }
  std::vector<std::uint8_t> readAll() override;
  bool write(std::span<const std::uint8_t> bytes) override;
  [[nodiscard]] CommEvent commEvent() const override { return event_; }

  // ---- Test controls ----
  // What the ports 1..50 do when opened; a port not named here does not exist.
  std::map<int, PortError> ports;  // PortError::None: opens
  // Line speeds the device cannot run at: open() refuses them.
  std::vector<std::int32_t> refusedBauds;
  // Every write, one entry per output operation.
  std::vector<std::vector<std::uint8_t>> writes;
  // Every open and close, in order: "open 3", "close 3".
  std::vector<std::string> history;
  // Runs after each write: a controller that answers at once injects its answer here.
  std::function<void(std::span<const std::uint8_t>)> onWrite;

  // Bytes arriving from the controller; a notification is queued.
  void inject(std::span<const std::uint8_t> bytes);
  void inject(std::initializer_list<std::uint8_t> bytes);
  // The device vanishes: the port closes at once and a Lost notification is queued.
  void pull();
  // Runs what the event loop would run next for this port, until nothing is queued: the turn
  // of the event loop after bytes arrived, without the timers that turn would also run.
  void deliver();
  // All writes joined, for checks of what went on the line.
  [[nodiscard]] std::vector<std::uint8_t> line() const;

 private:
  void schedule();
  void service();
  void notify(CommEvent e);

  int number_ = 0;
  LineSettings settings_;
  bool open_ = false;
  PortError error_ = PortError::None;
  std::string errorText_;
  std::vector<std::uint8_t> input_;
  CommEvent event_ = CommEvent::None;
  bool queued_ = false;               // a notification check waits on the event loop
  bool lostUntold_ = false;           // the Lost notification is still to be delivered
  bool inOnComm_ = false;             // a notification is running
  bool recheck_ = false;              // something happened meanwhile that may need a notification
  std::unique_ptr<QObject> context_;  // what the queued checks are posted to; last
};

}  // namespace qz
