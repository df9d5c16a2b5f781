#include "cli/arguments.h"

#include <charconv>
#include <cstdio>

#include "cli/output_text.h"

namespace quorvel::cli {

ArgumentReader::ArgumentReader(std::string command, const std::vector<std::string>& args, const char* usage)
    : command_(std::move(command)), args_(args), usage_(usage) {
  for (const std::string& arg : args_) {
    if (arg == "-h" || arg == "--help") help_asked_ = true;
  }
  if (help_asked_) std::fputs(usage_, stdout);
}

bool ArgumentReader::Flag(const char* name) {
  if (!Is(name)) return false;
  ++at_;
  return true;
}

std::optional<std::string> ArgumentReader::Value() {
  const std::string option = args_[at_++];
  if (at_ >= args_.size()) {
    Fail(option + " needs a value");
    return std::nullopt;
  }
  return args_[at_++];
}

std::optional<long long> ArgumentReader::Integer(long long min, long long max) {
  const std::string option = args_[at_];
  const std::optional<std::string> text = Value();
  if (!text) return std::nullopt;
  long long value = 0;
  const char* end = text->data() + text->size();
  const auto [stop, error] = std::from_chars(text->data(), end, value);
  if (text->empty() || error != std::errc{} || stop != end || value < min || value > max) {
    Fail(option + " takes a whole number from " + std::to_string(min) + " to " + std::to_string(max) + ", not \"" +
         Printable(*text) + "\"");
    return std::nullopt;
  }
  return value;
}

std::optional<PortArgument> ArgumentReader::Port() {
  const std::optional<std::string> text = Value();
  if (!text) return std::nullopt;
  std::optional<PortArgument> port = ParsePortArgument(*text);
  if (!port) Fail("--port takes COMn or COMn=PATH with n from 1 to 18, not \"" + Printable(*text) + "\"");
  return port;
}

void ArgumentReader::Unknown() { Fail("unknown option " + Printable(Current())); }

void ArgumentReader::Fail(const std::string& message) {
  if (!failed_) {
    std::fprintf(stderr, "quorvel-cli %s: %s\nRun 'quorvel-cli %s --help' for its options.\n", command_.c_str(),
                 message.c_str(), command_.c_str());
  }
  failed_ = true;
}

}  // namespace quorvel::cli
