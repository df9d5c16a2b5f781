// Simulated meters on pseudo-terminals and an engine driving them, with the
// tick run by hand so that tests decide when each step happens.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/engine.h"
#include "sim/meter_simulator.h"
#include "tests/support/recording_notifier.h"
#include "tests/support/spin.h"
#include "tests/support/temp_dir.h"

namespace quorvel::testing {

struct ShownLimits : NullDisplay {
  void ShowLimits(const LimitTexts& t) override { shutdown = t.shutdown; }
  void ShowClock(const ClockTexts& t) override { clocks.push_back(t); }
  void ShowHistoryBoxes(const HistoryTexts& t) override { history_boxes.push_back(t); }
  void BusyEnded(BusyOperation) override { ++busy_ended; }
  bool shutdown = false;
  std::vector<ClockTexts> clocks;
  std::vector<HistoryTexts> history_boxes;
  int busy_ended = 0;
};

struct Sent {
  int slot;
  std::uint8_t code;
  std::uint8_t p1;
  bool operator==(const Sent&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Sent& s) {
  return out << "{COM" << s.slot << " 0x" << std::hex << int{s.code} << std::dec << " P1=" << int{s.p1} << "}";
}

class MeterBench {
 public:
  // One meter per slot, COMn linked to a folder of the test. With
  // `scan_ms` the engine watches for ports coming and going.
  explicit MeterBench(const std::vector<int>& slots, sim::FaultOptions faults = {},
                      std::chrono::microseconds byte_interval = std::chrono::microseconds{0}, int scan_ms = 0) {
    sim::MeterSimulatorOptions options;
    for (const int slot : slots) options.links.push_back((dir / ("COM" + std::to_string(slot))).string());
    options.faults = faults;
    options.byte_interval = byte_interval;
    options.seed = 7;
    std::string error;
    simulator = sim::MeterSimulator::Open(options, &error);
    if (!simulator || !simulator->Start(&error)) ADD_FAILURE() << error;
    for (std::size_t i = 0; i < slots.size(); ++i) meter_of[slots[i]] = i;

    QObject::connect(&engine, &Engine::requestSent, [this](int slot, const QByteArray& frame) {
      sent.push_back({slot, static_cast<std::uint8_t>(frame[1]), static_cast<std::uint8_t>(frame[2])});
    });
    QObject::connect(&engine, &Engine::frameDecoded,
                     [this](int slot, DecodeOutcome outcome) { decoded.emplace_back(slot, outcome); });
    Engine::Options engine_options;
    engine_options.settings_path = dir / "Power Meter.ini";
    engine_options.tick_ms = 0;
    engine_options.port_scan_ms = scan_ms;
    for (std::size_t i = 0; i < slots.size(); ++i) engine_options.port_assignments[slots[i]] = simulator->Link(i);
    engine.Start(engine_options);
  }

  sim::PtyMeter& Meter(int slot) { return simulator->Meter(meter_of.at(slot)); }
  void Unplug(int slot) { simulator->Unplug(meter_of.at(slot)); }

  // Selects the slot and opens it as the comm button does.
  bool Open(int slot) {
    engine.Select(slot);
    return engine.StartDevice(slot);
  }

  // One tick; returns the frames it sent.
  std::vector<Sent> Tick() {
    sent.clear();
    engine.Tick();
    return sent;
  }

  // Waits until `count` more answers have been decoded.
  bool AwaitDecoded(std::size_t count, int timeout_ms = kPatienceMs) {
    const std::size_t target = decoded.size() + count;
    return SpinUntil([&] { return decoded.size() >= target; }, timeout_ms);
  }

  // A tick whose requests all get their answers decoded.
  std::vector<Sent> TickAndAwait(int timeout_ms = kPatienceMs) {
    const std::size_t before = decoded.size();
    std::vector<Sent> frames = Tick();
    std::size_t answered = 0;
    for (const Sent& s : frames) answered += s.code == code::kResetTimers ? 0 : 1;
    const bool ok = SpinUntil([&] { return decoded.size() >= before + answered; }, timeout_ms);
    EXPECT_TRUE(ok) << "answers missing after a tick";
    return frames;
  }

  TempDir dir;
  std::unique_ptr<sim::MeterSimulator> simulator;
  std::map<int, std::size_t> meter_of;
  ShownLimits display;
  RecordingNotifier notices;
  FixedRequestFields fields;
  Engine engine{display, notices, fields};
  std::vector<Sent> sent;
  std::vector<std::pair<int, DecodeOutcome>> decoded;
};

}  // namespace quorvel::testing
