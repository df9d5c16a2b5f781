#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

namespace quorvel::testing {

// Runs the event loop until `done` holds or the time is up; returns `done()`.
inline bool SpinUntil(const std::function<bool()>& done, int timeout_ms = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeout_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::usleep(200);
  }
  return true;
}

// Runs the event loop for a while.
inline void Spin(int ms) {
  SpinUntil([] { return false; }, ms);
}

}  // namespace quorvel::testing
