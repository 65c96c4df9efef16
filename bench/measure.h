#pragma once
// What the benchmarks share to measure: the median of their samples, and an event loop run until
// something has happened.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <vector>

namespace qz::bench {

// The middle sample; for an even count, the mean of the two middle ones.
template <class T>
T median(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs the event loop until done() holds; false when limitMs passed first.
template <typename Done>
bool pumpUntil(Done done, qint64 limitMs) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > limitMs) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  }
  return true;
}

}  // namespace qz::bench
