#include "cli/arguments.h"

#include <cstdio>
#include <cstdlib>

namespace quorvel::cli {

std::optional<std::string> ArgumentReader::Value() {
  const std::string option = args_[at_++];
  if (at_ >= args_.size()) {
    Fail(option + " needs a value");
    return std::nullopt;
  }
  return args_[at_++];
}

std::optional<double> ArgumentReader::Number(double min, double max) {
  const std::string option = args_[at_];
  const std::optional<std::string> text = Value();
  if (!text) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text->c_str(), &end);
  if (end == text->c_str() || *end != '\0' || value < min || value > max) {
    Fail(option + " takes a number from " + std::to_string(static_cast<long long>(min)) + " to " +
         std::to_string(static_cast<long long>(max)) + ", not \"" + *text + "\"");
    return std::nullopt;
  }
  return value;
}

std::optional<PortArgument> ArgumentReader::Port() {
  const std::optional<std::string> text = Value();
  if (!text) return std::nullopt;
  std::optional<PortArgument> port = ParsePortArgument(*text);
  if (!port) Fail("--port takes COMn or COMn=PATH with n from 1 to 18, not \"" + *text + "\"");
  return port;
}

void ArgumentReader::Fail(const std::string& message) {
  if (!failed_) std::fprintf(stderr, "quorvel-cli %s: %s\n", command_.c_str(), message.c_str());
  failed_ = true;
}

}  // namespace quorvel::cli
