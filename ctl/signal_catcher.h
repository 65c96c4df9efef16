#pragma once
// Ctrl+C and SIGTERM reach the event loop as a readable pipe, so every session can say
// goodbye and close its port before the program ends.

#include <signal.h>

#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace qz::ctl {

class SignalCatcher {
 public:
  explicit SignalCatcher(std::function<void()> onStop);
  ~SignalCatcher();
  SignalCatcher(const SignalCatcher&) = delete;
  SignalCatcher& operator=(const SignalCatcher&) = delete;

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};

}  // namespace qz::ctl
