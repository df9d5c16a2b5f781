#include "model/local_clock.h"

#include <ctime>

namespace quorvel {

LocalClock CurrentLocalClock() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return LocalClock{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_wday,
                    local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace quorvel
