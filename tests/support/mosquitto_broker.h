// Debian's mosquitto broker for tests: started on 127.0.0.1 and a free port
// with a config file the test writes, stopped (or killed, and started again
// on the same port) by the test. Nothing listens beyond the loopback.
#pragma once

#include <gtest/gtest.h>

#include <QProcess>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/spin.h"

namespace quorvel::testing {

// A port nothing listens on at this moment.
inline int FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t size = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

inline bool Accepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  const bool accepted = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return accepted;
}

class MosquittoBroker {
 public:
  // `extra` is added to the config: TLS files, a password file, ...; without
  // it, anonymous clients are allowed.
  explicit MosquittoBroker(const std::filesystem::path& folder, const std::string& extra = "allow_anonymous true\n")
      : folder_(folder), extra_(extra) {}
  ~MosquittoBroker() { Kill(); }

  // Starts on a free port (another try should one be taken meanwhile); false
  // when the broker does not come up.
  bool Start() {
    for (int attempt = 0; attempt < 5; ++attempt) {
      port_ = FreeLoopbackPort();
      if (StartOnPort()) return true;
    }
    return false;
  }
  // Starts again on the port it had.
  bool Restart() { return StartOnPort(); }
  // SIGKILL: no goodbye to anyone, as when the broker's machine dies.
  void Kill() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(kPatienceMs);
  }

  int Port() const { return port_; }
  std::string Log() {
    if (process_.state() != QProcess::NotRunning || process_.isOpen())
      log_ += process_.readAllStandardError().toStdString();
    return log_;
  }

 private:
  bool StartOnPort() {
    Kill();
    Log();
    const auto config = folder_ / "mosquitto.conf";
    {
      std::ofstream out(config);
      out << "listener " << port_ << " 127.0.0.1\n"
          << "persistence false\n"
          << "log_dest stderr\n"
          << "log_type error\nlog_type warning\nlog_type notice\nlog_type information\n";
      // Run as root (CI), the broker would give its rights to the user
      // mosquitto, which cannot read the test's private folder.
      if (geteuid() == 0) out << "user root\n";
      out << extra_;
    }
    process_.start("mosquitto", {"-c", QString::fromStdString(config.string())});
    if (!process_.waitForStarted(kPatienceMs)) {
      ADD_FAILURE() << "mosquitto does not start (scripts/install-deps.sh test installs it)";
      return false;
    }
    return SpinUntil([&] { return process_.state() == QProcess::NotRunning || Accepts(port_); }) &&
           process_.state() == QProcess::Running;
  }

  std::filesystem::path folder_;
  std::string extra_;
  int port_ = 0;
  QProcess process_;
  std::string log_;
};

}  // namespace quorvel::testing
