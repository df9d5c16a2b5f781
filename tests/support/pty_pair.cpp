#include "tests/support/pty_pair.h"

#include <poll.h>

#include <chrono>

namespace quorvel::testing {

std::vector<unsigned char> PtyPair::Receive(std::size_t count, int timeout_ms) const {
  std::vector<unsigned char> bytes;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (bytes.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd descriptor{master_, POLLIN, 0};
    if (poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) continue;
    unsigned char buffer[256];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) break;
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  return bytes;
}

}  // namespace quorvel::testing
