// Outcome of a file operation: the program's one Status (model/status.h),
// with texts that name the cause and the file.
#pragma once

#include <string>

#include "model/status.h"

namespace quorvel::xls {

using quorvel::Status;
using quorvel::StatusCode;

// "cannot <verb> <path>: <cause>", the form of every error text.
inline std::string CannotText(const char* verb, const std::string& path, const std::string& cause) {
  return std::string("cannot ") + verb + " " + path + ": " + cause;
}

}  // namespace quorvel::xls
