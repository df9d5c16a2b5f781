// Pseudo-terminals for tests. PortEnd is an open terminal with writes and
// waiting reads: the dashboard's end of a simulated meter, or the meter's
// end of a PtyPair. A PtyPair is a raw pseudo-terminal whose master side the
// test plays while the code under test opens the slave path like any serial
// device.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::testing {

class PortEnd {
 public:
  explicit PortEnd(int fd = -1) : fd_(fd) {}
  // Opens the path as a serial port would be: no controlling terminal, and
  // raw unless told to take the line as it finds it.
  explicit PortEnd(const std::string& path, bool make_raw = true)
      : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    if (fd_ < 0 || !make_raw) return;
    termios tio{};
    ::tcgetattr(fd_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd_, TCSANOW, &tio);
  }
  ~PortEnd() { Close(); }
  PortEnd(const PortEnd&) = delete;
  PortEnd& operator=(const PortEnd&) = delete;

  bool Ok() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  // Writes all the bytes; false when the terminal takes no more.
  bool Write(const std::vector<std::uint8_t>& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }
  template <typename Frame>
  bool Send(const Frame& frame) const {
    return Write(std::vector<std::uint8_t>(frame.begin(), frame.end()));
  }
  // Drops whatever has arrived and not been read, as the dashboard does
  // before each request.
  void Purge() const { ::tcflush(fd_, TCIFLUSH); }

  // Reads until `count` bytes have come or `timeout` has passed; never more
  // than `count`. The default bounds a wait that a loaded machine can
  // stretch to seconds.
  std::vector<std::uint8_t> Read(std::size_t count,
                                 std::chrono::milliseconds timeout = std::chrono::milliseconds{30000}) const {
    std::vector<std::uint8_t> got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < count) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      std::uint8_t buffer[512];
      const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n <= 0) break;
      got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

  // Everything that arrives until the line has been quiet for `quiet`.
  std::vector<std::uint8_t> ReadUntilQuiet(std::chrono::milliseconds quiet) const {
    std::vector<std::uint8_t> got;
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(quiet.count())) <= 0) return got;
      std::uint8_t buffer[512];
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) return got;
      got.insert(got.end(), buffer, buffer + n);
    }
  }

 private:
  int fd_;
};

class PtyPair {
 public:
  bool ok() const { return master_.Ok() && !slave_path_.empty(); }
  const std::string& slave_path() const { return slave_path_; }
  int master() const { return master_.Fd(); }
  void Send(const std::vector<std::uint8_t>& bytes) const { master_.Write(bytes); }
  // What the code under test wrote, waiting up to `timeout_ms` for `count` bytes.
  std::vector<std::uint8_t> Receive(std::size_t count, int timeout_ms) const {
    return master_.Read(count, std::chrono::milliseconds{timeout_ms});
  }
  void CloseMaster() { master_.Close(); }

 private:
  // The master's descriptor, or -1; the slave is closed again, since the
  // code under test opens its own.
  static int OpenMaster(std::string& slave_path) {
    termios raw{};
    cfmakeraw(&raw);
    char name[256] = {};
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, name, &raw, nullptr) != 0) return -1;
    close(slave);
    slave_path = name;
    return master;
  }

  std::string slave_path_;
  PortEnd master_{OpenMaster(slave_path_)};
};

}  // namespace quorvel::testing
