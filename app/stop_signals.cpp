#include "app/stop_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace quorvel {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// A signal handler may only write to a pipe; the event loop reads it.
int g_pipe[2] = {-1, -1};

extern "C" void OnStopSignal(int signal_number) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(signal_number);
  [[maybe_unused]] const ssize_t ignored = ::write(g_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
  if (g_pipe[0] >= 0 || ::pipe(g_pipe) != 0) return;
  for (const int end : g_pipe) {
    ::fcntl(end, F_SETFD, FD_CLOEXEC);
    ::fcntl(end, F_SETFL, O_NONBLOCK);
  }
  notifier_ = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &StopSignals::Drain);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal_number : kSignals) ::sigaction(signal_number, &action, nullptr);
}

StopSignals::~StopSignals() {
  if (!notifier_) return;
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (const int signal_number : kSignals) ::sigaction(signal_number, &action, nullptr);
  notifier_.reset();
  ::close(g_pipe[0]);
  ::close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
}

void StopSignals::Drain() {
  unsigned char received[16];
  const ssize_t count = ::read(g_pipe[0], received, sizeof received);
  for (ssize_t i = 0; i < count; ++i) Q_EMIT stopRequested(received[i]);
}

}  // namespace quorvel
