#pragma once
// Running the event loop in end-to-end tests and benchmarks, where replies come through a real
// port.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace qz::test {

// Runs the event loop until done() holds; false when it did not within the limit. The loop
// sleeps while nothing happens, woken at least every 5 ms to look at done() and the time.
template <typename Done>
bool pumpUntil(Done done, qint64 limitMs = 5000) {
  QElapsedTimer t;
  t.start();
  QTimer wake;
  wake.start(5);
  while (!done()) {
    if (t.elapsed() > limitMs) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

// Lets the event loop run idle for a while, to see that nothing more happens.
inline void settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace qz::test
