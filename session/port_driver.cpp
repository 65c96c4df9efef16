#include "session/port_driver.h"

#include <algorithm>
#include <chrono>

namespace qz {

PortDriver::PortDriver(SerialPort& port, Session& session) : port_(port), session_(session) {
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, [this] { timedOut(); });
}

PortDriver::~PortDriver() {
  *alive_ = false;
}

void PortDriver::handOver() {
  if (!port_.isOpen() || port_.bytesWaiting() == 0) return;
  const std::vector<std::uint8_t> bytes = port_.readAll();
  if (!bytes.empty()) session_.received(bytes);
}

void PortDriver::transmit() {
  while (const auto t = session_.pollTransmit()) {
    if (t->kind == Transmit::Kind::Close) {
      if (port_.isOpen()) port_.close();
    } else {
      port_.write(t->frame.bytes());
    }
  }
}

void PortDriver::run(const std::function<void()>& call) {
  handOver();
  if (call) call();
  transmit();
  if (!telling_) {
    const std::shared_ptr<bool> alive = alive_;
    while (const auto e = session_.pollEvent()) {
      telling_ = true;
      if (onEvent) onEvent(*e);
      if (!*alive) return;
      telling_ = false;
      transmit();
    }
  }
  arm();
}

void PortDriver::portNotified() {
  switch (port_.commEvent()) {
    case CommEvent::Lost:
      run([this] { session_.portLost(); });
      return;
    case CommEvent::TxFull:
      if (onTxFull) onTxFull();
      return;
    case CommEvent::Receive:
      run({});
      return;
    case CommEvent::None:
      return;
  }
}

void PortDriver::timedOut() {
  run([this] { session_.timeout(); });
}

void PortDriver::arm() {
  const auto due = session_.nextDeadline();
  if (!due) {
    timer_.stop();
    return;
  }
  const auto wait =
      std::chrono::ceil<std::chrono::milliseconds>(*due - TransferClock::now()).count();
  timer_.start(static_cast<int>(std::max<decltype(wait)>(wait, 0)));
}

}  // namespace qz
