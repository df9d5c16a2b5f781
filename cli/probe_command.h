#pragma once

#include <string>
#include <vector>

namespace quorvel::cli {

// quorvel-cli probe --port COMn[=PATH] [--write] [--reset-timers]: sends the
// meter every request there is, one at a time, and prints each answer.
int RunProbe(const std::vector<std::string>& args);

}  // namespace quorvel::cli
