#pragma once
// Running the event loop in end-to-end tests, where replies come through a real port.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace qz::test {

// Runs the event loop until done() holds; false when it did not within the limit.
template <typename Done>
bool pumpUntil(Done done, qint64 limitMs = 5000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > limitMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
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
