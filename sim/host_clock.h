// The host computer's local wall-clock time, the natural starting point for
// a simulated meter's clock.
#pragma once

#include <chrono>

namespace quorvel::sim {

std::chrono::local_seconds HostLocalNow();

}  // namespace quorvel::sim
