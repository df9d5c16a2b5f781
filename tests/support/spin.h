#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

namespace quorvel::testing {

// How long a test waits for what takes milliseconds on an idle machine: a
// loaded one (two cores, parallel tests, other work) can stall a process
// for seconds. Only a failing wait takes this long.
inline constexpr int kPatienceMs = 30000;

// Runs the event loop until `done` holds or the time is up; returns `done()`.
inline bool SpinUntil(const std::function<bool()>& done, int timeout_ms = kPatienceMs) {
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
