#pragma once
// The simulated controller on a pseudo-terminal, answering on a thread of its own, with a COM
// alias so the tool finds it under a COM name.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/alias_claim.h"
#include "sim/controller.h"

namespace qz::sim {

class PtyServer {
 public:
  // Called with each log line (wall-clock time first), one per frame, on the server's thread;
  // a key pressed on the controller's front (press, powerOn) logs on the presser's thread.
  using LogSink = std::function<void(const std::string& line)>;

  explicit PtyServer(Options options, LogSink sink = {});
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Opens the pseudo-terminal, starts answering and creates the alias COMn -> device.
  // Throws std::runtime_error with the reason when it cannot.
  void start();
  // Stops answering, closes the pseudo-terminal and removes the alias. Safe to call twice.
  void stop();

  [[nodiscard]] int comNumber() const { return alias_.number(); }
  [[nodiscard]] std::string comName() const { return "COM" + std::to_string(alias_.number()); }
  [[nodiscard]] const std::string& devicePath() const { return devicePath_; }
  [[nodiscard]] const std::filesystem::path& aliasPath() const { return alias_.path(); }

  // The line was cut (Faults::hangupAfter), or the pseudo-terminal failed.
  [[nodiscard]] bool hungUp() const;
  // How many descriptors other than the server's own have the device open; -1: unknown.
  [[nodiscard]] int listeners() const;

  // Waits until the log holds at least `entries` entries (each one answered by then), or the
  // line is cut, or the time is up; true when the entries are there.
  bool waitForLog(std::size_t entries, std::chrono::milliseconds timeout) const;
  bool waitForHangUp(std::chrono::milliseconds timeout) const;
  // Waits until exactly `count` descriptors besides the server's own have the device open
  // (for example 0: the tool has closed the port); false when the time is up or the count is
  // unknown.
  bool waitForListeners(int count, std::chrono::milliseconds timeout) const;

  // Copies taken under the lock.
  [[nodiscard]] std::vector<LogEntry> log() const;
  [[nodiscard]] ConfigImage image() const;
  [[nodiscard]] std::optional<RowFrame> lastPreview() const;
  [[nodiscard]] Outputs outputs() const;
  [[nodiscard]] Controller snapshot() const;

  // Puts bytes on the line towards the tool as if the controller had sent them, outside any
  // answer (line noise, a stale reply); false when not all of them went out.
  bool inject(const Bytes& bytes);
  // The controller stops taking bytes from the line (a busy or stuck receiver), or takes them
  // again.
  void pauseReading(bool paused) { readingPaused_ = paused; }

  // Take effect from the next frame.
  void setFaults(Faults faults);
  void setServiceResult(std::uint8_t request, std::uint8_t code);
  void setImage(const ConfigImage& image);
  // The controller's own front: a key plays its row (0..16), power-on restarts it.
  void press(int row);
  void powerOn();

 private:
  void run();
  void watchOpens();
  // Writes the reply as the line would carry it; returns why bytes were lost, if they were.
  // With oneWrite the whole reply is handed over at once when its last byte would have come.
  std::string send(const Bytes& reply, Clock::time_point requestEnd, std::size_t requestLength,
                   bool oneWrite = false);
  // Gives the tool back what it has just written, as an echoing adapter does.
  void echoBack(std::span<const std::uint8_t> bytes, Clock::time_point arrived);
  void waitUntilTaken();
  void dropUnread();
  void cutLine(const std::string& why);
  bool sleepUntil(Clock::time_point t);
  void logLine(const std::string& text, Clock::time_point time);
  // Rewrites Options::dumpFile; a failure goes to the log.
  void dumpImage(const ConfigImage& image);
  void closeAll();

  Options options_;
  LogSink sink_;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Controller controller_;
  std::size_t settled_ = 0;  // log entries whose answer is out
  bool hungUp_ = false;
  int listeners_ = -1;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> readingPaused_{false};

  int master_ = -1;
  int ownSlave_ = -1;
  int stopEvent_ = -1;
  int watch_ = -1;
  std::string devicePath_;
  AliasClaim alias_;
  std::thread thread_;
  Clock::time_point lineFreeAt_{};
};

}  // namespace qz::sim
