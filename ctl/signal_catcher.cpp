#include "ctl/signal_catcher.h"

#include <fcntl.h>
#include <unistd.h>

namespace qz::ctl {

namespace {

int signalPipe[2] = {-1, -1};

extern "C" void onSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const auto n = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

SignalCatcher::SignalCatcher(std::function<void()> onStop) {
  if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [onStop] {
    char buffer[16];
    while (::read(signalPipe[0], buffer, sizeof buffer) > 0) {
    }
    onStop();
  });
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, &oldInt_);
  ::sigaction(SIGTERM, &sa, &oldTerm_);
}

SignalCatcher::~SignalCatcher() {
  if (!notifier_) return;
  ::sigaction(SIGINT, &oldInt_, nullptr);
  ::sigaction(SIGTERM, &oldTerm_, nullptr);
}

}  // namespace qz::ctl
