// A bench of simulated meters, each on its own pseudo-terminal and
// optionally reachable under a stable link name.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/fault_injector.h"
#include "sim/pty_meter.h"

namespace quorvel::sim {

// Far more than the dashboard's eighteen ports; a bound against typos.
inline constexpr std::size_t kMaxMeters = 64;

struct MeterSimulatorOptions {
  std::vector<std::string> links;  // one meter per link, in this order
  std::size_t unlinked = 0;        // further meters without a link
  std::uint64_t seed = 1;          // meter i (from 0) runs with seed + i
  // Meter i answers with meter_numbers[i] where given, else with a number
  // drawn from its seed.
  std::vector<std::uint32_t> meter_numbers;
  FaultOptions faults;
  std::chrono::microseconds byte_interval = kByteTime9600;
  std::optional<std::chrono::local_seconds> start_clock;  // host's local time when empty
};

class MeterSimulator {
 public:
  // Opens every meter's terminal and makes the links; on any failure
  // nothing is left behind and `error` says why.
  static std::unique_ptr<MeterSimulator> Open(const MeterSimulatorOptions& options, std::string* error);
  ~MeterSimulator();  // stops the meters and removes the links
  MeterSimulator(const MeterSimulator&) = delete;
  MeterSimulator& operator=(const MeterSimulator&) = delete;

  bool Start(std::string* error = nullptr);
  void Stop();
  // Pulls meter `index`'s adapter out: removes its link, as udev removes an
  // adapter's /dev/serial/by-id link, and hangs its terminal up. The link
  // goes first: left behind, it would lead a dashboard waiting for the
  // meter's return to the next pseudo-terminal given the old number, which
  // is another program's.
  void Unplug(std::size_t index);

  std::size_t Size() const { return meters_.size(); }
  PtyMeter& Meter(std::size_t index) { return *meters_.at(index).meter; }
  // The meter's link, or an empty text.
  const std::string& Link(std::size_t index) const { return meters_.at(index).link; }

 private:
  struct Entry {
    std::unique_ptr<PtyMeter> meter;
    std::string link;
  };
  MeterSimulator() = default;

  std::vector<Entry> meters_;
};

}  // namespace quorvel::sim
