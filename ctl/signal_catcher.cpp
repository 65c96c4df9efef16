#include "ctl/signal_catcher.h"

#include <fcntl.h>
#include <unistd.h>

namespace qz::ctl {

namespace {

int signalPipe[2] = {-1, -1};

extern "C" void onSignal(int signal) {
  const auto byte = static_cast<char>(signal);
  [[maybe_unused]] const auto n = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

SignalCatcher::SignalCatcher(std::function<void()> onStop) {
  if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this, onStop] {
    char buffer[16];
    for (ssize_t n = 0; (n = ::read(signalPipe[0], buffer, sizeof buffer)) > 0;) {
      if (caught_ == 0) caught_ = static_cast<unsigned char>(buffer[0]);
    }
    onStop();
  });
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &sa, &old_[i]);
}

SignalCatcher::~SignalCatcher() {
  if (!notifier_) return;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &old_[i], nullptr);
}

}  // namespace qz::ctl
