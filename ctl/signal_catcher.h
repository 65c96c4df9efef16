#pragma once
// Ctrl+C, SIGTERM and SIGHUP (the terminal closed) reach the event loop as a readable pipe, so
// every session can say goodbye and close its port before the program ends.

#include <signal.h>

#include <QSocketNotifier>
#include <functional>
#include <iterator>
#include <memory>

namespace qz::ctl {

class SignalCatcher {
 public:
  explicit SignalCatcher(std::function<void()> onStop);
  ~SignalCatcher();
  SignalCatcher(const SignalCatcher&) = delete;
  SignalCatcher& operator=(const SignalCatcher&) = delete;

  // The signal that stopped the run; 0 when none came.
  [[nodiscard]] int caught() const { return caught_; }

 private:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
  std::unique_ptr<QSocketNotifier> notifier_;
  struct sigaction old_[std::size(kSignals)]{};
  int caught_ = 0;
};

}  // namespace qz::ctl
