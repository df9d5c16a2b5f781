// The one way a function says that it failed: a Status is success, or a
// code and a text for the user that names the cause ("cannot write
// /x/a.xls: No space left on device"). Result<T> is a value or the Status
// of its failure. What a caller decides on (a month not read, a port in
// use) stays an enum of its own; a Status only says that something could
// not be done, and why, in words.
#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace quorvel {

enum class StatusCode {
  kOk,
  kIoError,  // the system refused a create, open, read, write or flush
  kFull,     // the file holds as many rows as it can
  kInvalid,  // the caller's request does not fit (a row's width, a month number)
  kClosed,   // the file was closed
  kFailed,   // any other failure: the text says what
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

template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : outcome_(std::in_place_index<0>, std::move(value)) {}          // NOLINT: a value is a success
  Result(Status failure) : outcome_(std::in_place_index<1>, std::move(failure)) {  // NOLINT: so is a failure's Status
    assert(!std::get<1>(outcome_).ok() && "a Result without its value must be a failure");
  }

  bool ok() const { return outcome_.index() == 0; }
  // Status::Ok() for a value.
  const Status& status() const { return ok() ? kSuccess : std::get<1>(outcome_); }
  // Only when ok().
  const T& value() const { return std::get<0>(outcome_); }
  T& value() { return std::get<0>(outcome_); }

 private:
  static inline const Status kSuccess{};
  std::variant<T, Status> outcome_;
};

}  // namespace quorvel
