// The dashboard's end of a simulated meter's terminal, for tests.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::sim::test {

class PortEnd {
 public:
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

  bool Write(const std::vector<std::uint8_t>& bytes) const {
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  template <typename Frame>
  bool Send(const Frame& frame) const {
    return Write(std::vector<std::uint8_t>(frame.begin(), frame.end()));
  }
  // Drops whatever has arrived and not been read, as the dashboard does
  // before each request.
  void Purge() const { ::tcflush(fd_, TCIFLUSH); }

  // Reads until `count` bytes have come or `timeout` has passed.
  std::vector<std::uint8_t> Read(std::size_t count,
                                 std::chrono::milliseconds timeout = std::chrono::milliseconds{2000}) const {
    std::vector<std::uint8_t> got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
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

}  // namespace quorvel::sim::test
