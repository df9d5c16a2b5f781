// Outcome of a file operation: success, or a text for the user that names the
// cause and the file ("cannot write /x/a.xls: No space left on device").
#pragma once

#include <string>
#include <utility>

namespace quorvel::xls {

enum class StatusCode {
  kOk,
  kIoError,     // the system refused a create, open, read, write or flush
  kFull,        // the sheet holds as many rows as it can
  kInvalid,     // the caller's request does not fit (row width, column count)
  kClosed,      // the file was closed
};

class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status Ok() { return {}; }
  static Status Fail(StatusCode code, std::string text) { return Status(code, std::move(text)); }

  bool ok() const { return code_ == StatusCode::kOk; }
  StatusCode code() const { return code_; }
  const std::string& text() const { return text_; }

 private:
  Status(StatusCode code, std::string text) : code_(code), text_(std::move(text)) {}

  StatusCode code_ = StatusCode::kOk;
  std::string text_;
};

// "cannot <verb> <path>: <cause>", the form of every error text.
inline std::string CannotText(const char* verb, const std::string& path, const std::string& cause) {
  return std::string("cannot ") + verb + " " + path + ": " + cause;
}

}  // namespace quorvel::xls
