// Small helpers for the commands' argument lists.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/engine_session.h"

namespace quorvel::cli {

// Walks "--name value" and "--flag" arguments; reports the first problem.
class ArgumentReader {
 public:
  ArgumentReader(std::string command, const std::vector<std::string>& args) : command_(std::move(command)), args_(args) {}

  bool Done() const { return at_ >= args_.size() || failed_; }
  const std::string& Current() const { return args_[at_]; }
  bool Is(const char* name) const { return !Done() && args_[at_] == name; }
  // The value after the current option; fails when there is none.
  std::optional<std::string> Value();
  std::optional<double> Number(double min, double max);
  std::optional<PortArgument> Port();
  void Skip() { ++at_; }
  // Prints "quorvel-cli <command>: <message>" and marks the reading failed.
  void Fail(const std::string& message);
  bool Failed() const { return failed_; }

 private:
  std::string command_;
  const std::vector<std::string>& args_;
  std::size_t at_ = 0;
  bool failed_ = false;
};

}  // namespace quorvel::cli
