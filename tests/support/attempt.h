#pragma once
// A connection attempt of the window run step by step, without waiting out its timers: each step
// calls the handler of the connection timer the conversation has running, as the event loop
// would, so the helpers need not know the schedule.

#include <QTimer>

#include "support/event_loop.h"
#include "ui/form1.h"

namespace qz::test {

// One tick of the connection tick that runs: its handler is called, after the window's timer is
// stopped (unless asked not to) so that it does not fire as well. False when none runs.
inline bool nextConnectionTick(Form1& w, bool stopItsTimer = true) {
  const struct {
    Tick tick;
    void (Form1::*handler)();
  } steps[] = {{Tick::Link, &Form1::Timer2_Timer},
               {Tick::VersionQuery, &Form1::Timer3_Timer},
               {Tick::VersionShown, &Form1::TimerGetVision_Timer}};
  for (const auto& s : steps) {
    if (!w.session.ticking(s.tick)) continue;
    if (stopItsTimer) w.TimerSession->stop();
    (w.*s.handler)();
    return true;
  }
  return false;
}

// An attempt the window has begun, run to its end; `answer(w)` runs after every tick and lets
// the controller's answer in. True when connected.
template <typename Answer>
bool finishAttempt(Form1& w, Answer answer) {
  while (nextConnectionTick(w)) answer(w);
  return w.Connected();
}

// The same with the controller's answers coming through the event loop: after a handshake until
// the reply is in, after the version query until the whole text is.
inline bool finishAttempt(Form1& w) {
  return finishAttempt(w, [](Form1& f) {
    if (!f.Connected() && f.LinkTick() >= 1 && f.LinkTick() <= kHandshakeAttempts) {
      pumpUntil([&] { return f.Connected(); }, 200);
    } else if (f.VersionMode()) {
      pumpUntil([&] { return f.VersionText().size() >= 31; }, 2000);
    }
  });
}

}  // namespace qz::test
