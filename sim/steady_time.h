#pragma once
// The steady clock as the system calls that wait take it.

#include <time.h>

#include <algorithm>
#include <chrono>

#include "sim/controller.h"

namespace qz::sim {

inline timespec toTimespec(Clock::time_point t) {
  // steady_clock is CLOCK_MONOTONIC on Linux.
  const auto ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
  ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
  return ts;
}

inline timespec toTimespec(Clock::duration d) {
  return toTimespec(Clock::time_point(std::max(d, Clock::duration::zero())));
}

}  // namespace qz::sim
