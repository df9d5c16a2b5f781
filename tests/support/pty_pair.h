// A raw pseudo-terminal: the test plays the meter on the master side and the
// code under test opens the slave path like any serial device.
#pragma once

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace quorvel::testing {

class PtyPair {
 public:
  PtyPair() {
    termios raw{};
    cfmakeraw(&raw);
    char name[256] = {};
    int slave = -1;
    if (openpty(&master_, &slave, name, &raw, nullptr) == 0) {
      slave_path_ = name;
      close(slave);  // the code under test opens its own
    }
  }
  ~PtyPair() { CloseMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0 && !slave_path_.empty(); }
  const std::string& slave_path() const { return slave_path_; }
  int master() const { return master_; }

  void Send(const std::vector<unsigned char>& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return;
      done += static_cast<std::size_t>(n);
    }
  }

  // What the code under test wrote, waiting up to `timeout_ms` for `count` bytes.
  std::vector<unsigned char> Receive(std::size_t count, int timeout_ms) const;

  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slave_path_;
};

}  // namespace quorvel::testing
