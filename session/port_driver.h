#pragma once
// A session on a port, for every front end: the port's bytes and the time go in, and what the
// session leaves is carried out once each call has returned: its frames written, the port
// closed when it says so, its events handed to the front end one at a time, and one precise
// timer started for its next deadline.
//
// Before each call whatever has already reached the port goes to the session, so the session's
// own clearing before a request covers every byte that came before it, and a deadline never
// ends a wait whose answer is already here. A front end that calls the session again while
// an event is told to it (through run()) has that call carried out at once, its frames written
// before the next event is told; its events follow those already waiting.

#include <QTimer>
#include <functional>
#include <memory>

#include "link/serial_port.h"
#include "session/session.h"

namespace qz {

class PortDriver {
 public:
  PortDriver(SerialPort& port, Session& session);
  ~PortDriver();
  PortDriver(const PortDriver&) = delete;
  PortDriver& operator=(const PortDriver&) = delete;

  // What happened, in no language, one event at a time.
  std::function<void(const SessionEvent&)> onEvent;
  // The line does not drain: a frame was refused, the connection stays.
  std::function<void()> onTxFull;

  // `call` makes one call of the session; what it left is carried out afterwards.
  void run(const std::function<void()>& call);
  // The port's notification: bytes arrived, the line stopped draining, the port went away.
  void portNotified();
  // The session's deadline has come.
  void timedOut();
  // The one timer, single-shot, set for the session's next deadline after every call.
  [[nodiscard]] QTimer& timer() { return timer_; }

 private:
  void handOver();
  void transmit();
  void arm();

  SerialPort& port_;
  Session& session_;
  QTimer timer_;
  bool telling_ = false;  // an event is being told: a call made now leaves its events queued
  // Cleared when the driver goes away, so an event that ends its front end ends the telling.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace qz
