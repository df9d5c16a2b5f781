#include "sim/pty_meter.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "sim/host_clock.h"

namespace quorvel::sim {

namespace {

constexpr std::uint64_t kFaultStream = 0xFA17;

std::string SystemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

MeterModelOptions ModelOptions(const PtyMeterOptions& options) {
  MeterModelOptions model;
  model.seed = options.seed;
  model.start_clock = options.start_clock.value_or(HostLocalNow());
  model.meter_number = options.meter_number;
  return model;
}

// A raw line: no echo, no CR/LF translation, no signals from 0x03 or
// flow control from 0x11/0x13 - any of these would corrupt binary frames.
bool MakeRaw(int fd, std::string* error) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    if (error) *error = SystemError("tcgetattr");
    return false;
  }
  ::cfmakeraw(&tio);
  ::cfsetispeed(&tio, B9600);
  ::cfsetospeed(&tio, B9600);
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    if (error) *error = SystemError("tcsetattr");
    return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<PtyMeter> PtyMeter::Open(const PtyMeterOptions& options, std::string* error) {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0) {
    if (error) *error = SystemError("posix_openpt");
    return nullptr;
  }
  std::array<char, 128> name{};
  if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name.data(), name.size()) != 0) {
    if (error) *error = SystemError("pseudo-terminal set-up");
    CloseFd(master);
    return nullptr;
  }
  int slave = ::open(name.data(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) {
    if (error) *error = SystemError(name.data());
    CloseFd(master);
    return nullptr;
  }
  int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  const bool ok =
      wake >= 0 && MakeRaw(slave, error) && ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK) == 0;
  if (!ok) {
    if (error && error->empty()) *error = SystemError("pseudo-terminal set-up");
    CloseFd(wake);
    CloseFd(slave);
    CloseFd(master);
    return nullptr;
  }
  return std::unique_ptr<PtyMeter>(new PtyMeter(options, master, slave, wake, name.data()));
}

PtyMeter::PtyMeter(const PtyMeterOptions& options, int master_fd, int slave_fd, int wake_fd, std::string slave_path)
    : byte_interval_(std::max(options.byte_interval, std::chrono::microseconds{0})),
      on_answer_written_(options.on_answer_written),
      master_fd_(master_fd),
      slave_fd_(slave_fd),
      wake_fd_(wake_fd),
      slave_path_(std::move(slave_path)),
      model_(ModelOptions(options), HostClock::now()),
      injector_(options.faults, StreamSeed(options.seed, kFaultStream)) {}

PtyMeter::~PtyMeter() {
  Stop();
  CloseFd(master_fd_);
  CloseFd(slave_fd_);
  CloseFd(wake_fd_);
}

bool PtyMeter::Start(std::string* error) {
  if (Running()) return true;
  if (Unplugged()) {
    if (error) *error = "meter " + slave_path_ + " is unplugged";
    return false;
  }
  {
    std::lock_guard lock(mutex_);
    stopping_ = false;
  }
  line_alive_ = true;
  write_blocked_ = false;
  thread_ = std::thread(&PtyMeter::Run, this);
  // Named, so that measurements can tell the meters' threads from the dashboard's.
  pthread_setname_np(thread_.native_handle(), "quorvel-meter");
  return true;
}

void PtyMeter::Stop() {
  if (!Running()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto written = ::write(wake_fd_, &one, sizeof one);
  thread_.join();
  std::lock_guard lock(mutex_);
  queue_.clear();
  queued_ = 0;
  idle_.notify_all();
}

void PtyMeter::Unplug() {
  Stop();
  CloseFd(master_fd_);
  CloseFd(slave_fd_);
}

PtyMeterStats PtyMeter::Stats() const {
  std::lock_guard lock(mutex_);
  PtyMeterStats stats = stats_;
  stats.faults = injector_.Stats();
  return stats;
}

std::vector<AnswerLogEntry> PtyMeter::AnswerLog() const {
  std::lock_guard lock(mutex_);
  return {injector_.Log().begin(), injector_.Log().end()};
}

bool PtyMeter::WaitUntilIdle(std::uint64_t requests, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return idle_.wait_for(lock, timeout, [&] { return stats_.requests >= requests && queued_ == 0; });
}

void PtyMeter::Run() {
  for (;;) {
    const HostTime now = HostClock::now();
    Send(now);
    const std::optional<HostTime> next = NextSendTime();

    std::array<pollfd, 2> fds{};
    fds[0] = {wake_fd_, POLLIN, 0};
    fds[1] = {line_alive_ ? master_fd_ : -1, static_cast<short>(POLLIN | (write_blocked_ ? POLLOUT : 0)), 0};
    timespec wait{};
    timespec* timeout = nullptr;
    if (next && !write_blocked_) {
      const auto left = std::max(*next - HostClock::now(), HostClock::duration::zero());
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      wait.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
      wait.tv_nsec = static_cast<long>(ns % 1'000'000'000);
      timeout = &wait;
    }
    if (::ppoll(fds.data(), fds.size(), timeout, nullptr) < 0 && errno != EINTR) {
      // Polling itself broke down: give the line up and wait for Stop.
      LineDead();
      pollfd wake{wake_fd_, POLLIN, 0};
      ::poll(&wake, 1, -1);
      return;
    }

    if (fds[0].revents != 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] const auto got = ::read(wake_fd_, &count, sizeof count);
      std::lock_guard lock(mutex_);
      if (stopping_) return;
    }
    if ((fds[1].revents & POLLOUT) != 0) write_blocked_ = false;
    if ((fds[1].revents & POLLIN) != 0) {
      Receive(HostClock::now());
    } else if ((fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      LineDead();
    }
  }
}

void PtyMeter::LineDead() {
  // A master only hangs up when no slave is open, which our own slave
  // descriptor prevents; should it happen all the same, reads would report
  // EOF or EIO for ever, so the line is given up instead of polled again.
  line_alive_ = false;
  write_blocked_ = false;
  std::lock_guard lock(mutex_);
  queue_.clear();
  queued_ = 0;
  idle_.notify_all();
}

void PtyMeter::Receive(HostTime now) {
  std::array<std::uint8_t, 512> buffer{};
  const ssize_t n = ::read(master_fd_, buffer.data(), buffer.size());
  if (n <= 0) {
    if (n == 0 || (errno != EAGAIN && errno != EINTR)) LineDead();
    return;
  }
  const auto frames = assembler_.Feed(std::span(buffer.data(), static_cast<std::size_t>(n)));
  std::lock_guard lock(mutex_);
  stats_.skipped_bytes = assembler_.SkippedBytes();
  for (const RequestFrame& frame : frames) {
    ++stats_.requests;
    model_.AdvanceTo(now);
    std::vector<std::uint8_t> answer = model_.Answer(frame);
    if (answer.empty()) {
      ++stats_.unanswered;
      continue;
    }
    Transmission out = injector_.Apply(std::move(answer));
    if (out.bytes.empty()) continue;
    queue_.push_back({now + out.delay, std::move(out.bytes), 0});
  }
  queued_ = queue_.size();
  idle_.notify_all();
}

std::optional<HostTime> PtyMeter::NextSendTime() const {
  if (queue_.empty()) return std::nullopt;
  const Outgoing& front = queue_.front();
  if (byte_interval_.count() == 0) return front.due;
  return front.sent == 0 ? std::max(front.due, next_byte_at_) : next_byte_at_;
}

void PtyMeter::Send(HostTime now) {
  std::uint64_t sent_now = 0;
  while (!queue_.empty() && line_alive_ && !write_blocked_) {
    Outgoing& front = queue_.front();
    if (front.due > now) break;
    std::size_t count = front.bytes.size() - front.sent;
    if (byte_interval_.count() > 0) {
      if (front.sent == 0) next_byte_at_ = std::max(next_byte_at_, front.due);
      if (next_byte_at_ > now) break;
      // After a late wake-up the bytes that are overdue go together, so the
      // answer as a whole keeps the line's pace.
      const auto overdue = static_cast<std::size_t>((now - next_byte_at_) / byte_interval_) + 1;
      count = std::min(count, overdue);
    }
    // Taken before the write: a reader may see the bytes before this thread
    // runs again.
    const HostTime handed_over = HostClock::now();
    const ssize_t n = ::write(master_fd_, front.bytes.data() + front.sent, count);
    if (n < 0) {
      if (errno == EAGAIN) {
        write_blocked_ = true;
      } else if (errno != EINTR) {
        LineDead();
        return;
      }
      break;
    }
    const auto written = static_cast<std::size_t>(n);
    front.sent += written;
    sent_now += written;
    if (byte_interval_.count() > 0) {
      next_byte_at_ += byte_interval_ * static_cast<std::int64_t>(written);
    }
    if (front.sent == front.bytes.size()) {
      // The kind is the third byte of an answer (after start and length).
      if (on_answer_written_ && front.bytes.size() > 2) on_answer_written_(front.bytes[2], handed_over);
      queue_.pop_front();
    }
  }
  if (sent_now == 0 && queue_.size() == queued_) return;
  std::lock_guard lock(mutex_);
  stats_.bytes_sent += sent_now;
  queued_ = queue_.size();
  idle_.notify_all();
}

}  // namespace quorvel::sim
