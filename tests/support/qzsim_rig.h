#pragma once
// The tool as the user runs it against qzsim: the real window and the real serial port
// adapter on one end of a pseudo-terminal, the simulated controller on the other.

#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <vector>

#include "link/qt_serial_port.h"
#include "sim/pty_server.h"
#include "support/attempt.h"
#include "support/event_loop.h"
#include "support/fake_platform.h"
#include "support/runtime_dir.h"
#include "ui/form1.h"

namespace qz::test {

// qzsim and the tool, each with its own end of one pseudo-terminal.
struct Rig {
  RuntimeDir runtime;
  std::unique_ptr<sim::PtyServer> server;
  QtSerialPort port;
  FakePlatform platform;
  std::unique_ptr<Form1> w;

  explicit Rig(sim::Options options = {}) {
    server = std::make_unique<sim::PtyServer>(options);
    server->start();
    w = std::make_unique<Form1>(port, platform);
    // Ticks are driven by the test, one by one, as the timers would.
    w->Timer1->stop();
  }
  ~Rig() {
    w.reset();
    server->stop();
  }
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  [[nodiscard]] std::vector<std::vector<std::uint8_t>> received() const {
    std::vector<std::vector<std::uint8_t>> frames;
    for (const auto& e : server->log()) frames.push_back(e.received);
    return frames;
  }
  [[nodiscard]] int count(const std::vector<std::uint8_t>& frame) const {
    const auto all = received();
    return static_cast<int>(std::count(all.begin(), all.end(), frame));
  }

  // Chooses qzsim's port in the window's list; false when the list does not name it.
  bool choosePort() {
    const int index = w->Combo串口->findText(QString::fromStdString(server->comName()));
    if (index < 0) return false;
    w->Combo串口->setCurrentIndex(index);
    return true;
  }

  // Chooses qzsim's port and presses "建立连接"; the test then ticks the attempt itself. False
  // when the port did not open.
  bool startAttempt() {
    if (!choosePort()) return false;
    w->Command建立连接->click();
    w->TimerSession->stop();
    return port.isOpen();
  }

  // Presses "建立连接" and runs the attempt tick by tick; the controller's answers arrive
  // through the real port. False when no handshake reply came within the 30 attempts.
  bool connect() { return startAttempt() && finishAttempt(*w); }
};

}  // namespace qz::test
