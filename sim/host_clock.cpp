#include "sim/host_clock.h"

#include <ctime>

namespace quorvel::sim {

std::chrono::local_seconds HostLocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  using namespace std::chrono;
  const local_days date{year{local.tm_year + 1900} / (local.tm_mon + 1) / local.tm_mday};
  return date + hours{local.tm_hour} + minutes{local.tm_min} + seconds{local.tm_sec};
}

}  // namespace quorvel::sim
