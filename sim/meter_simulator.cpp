#include "sim/meter_simulator.h"

#include "sim/port_link.h"

namespace quorvel::sim {

std::unique_ptr<MeterSimulator> MeterSimulator::Open(const MeterSimulatorOptions& options, std::string* error) {
  const std::size_t count = options.links.size() + options.unlinked;
  if (count == 0 || count > kMaxMeters) {
    if (error) *error = "between 1 and " + std::to_string(kMaxMeters) + " meters, please";
    return nullptr;
  }
  for (std::size_t i = 0; i < options.links.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (options.links[i] == options.links[j]) {
        if (error) *error = "link " + options.links[i] + " is given twice";
        return nullptr;
      }
    }
  }
  std::unique_ptr<MeterSimulator> bench(new MeterSimulator);
  for (std::size_t i = 0; i < count; ++i) {
    PtyMeterOptions meter_options;
    meter_options.seed = options.seed + i;
    meter_options.faults = options.faults;
    meter_options.byte_interval = options.byte_interval;
    meter_options.start_clock = options.start_clock;
    if (i < options.meter_numbers.size()) meter_options.meter_number = options.meter_numbers[i];
    Entry entry;
    entry.meter = PtyMeter::Open(meter_options, error);
    if (!entry.meter) return nullptr;  // the meters made so far clean up after themselves
    if (i < options.links.size()) {
      if (!CreatePortLink(options.links[i], entry.meter->SlavePath(), error)) return nullptr;
      entry.link = options.links[i];
    }
    bench->meters_.push_back(std::move(entry));
  }
  return bench;
}

MeterSimulator::~MeterSimulator() {
  Stop();
  for (const Entry& entry : meters_) {
    if (!entry.link.empty()) RemovePortLink(entry.link, entry.meter->SlavePath());
  }
}

bool MeterSimulator::Start(std::string* error) {
  for (Entry& entry : meters_) {
    if (!entry.meter->Start(error)) {
      Stop();
      return false;
    }
  }
  return true;
}

void MeterSimulator::Unplug(std::size_t index) {
  Entry& entry = meters_.at(index);
  if (!entry.link.empty()) RemovePortLink(entry.link, entry.meter->SlavePath());
  entry.meter->Unplug();
}

void MeterSimulator::Stop() {
  for (Entry& entry : meters_) entry.meter->Stop();
}

}  // namespace quorvel::sim
