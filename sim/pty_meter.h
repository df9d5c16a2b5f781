// One simulated meter behind its own pseudo-terminal, as a dashboard would
// find it behind a USB-serial adapter. A thread of its own reads requests
// from the master side, answers them through the meter model and the fault
// injector, and writes the answers back at the pace of the serial line.
//
// The dashboard opens SlavePath() like a serial port. The meter keeps a
// slave descriptor of its own open for its whole life: without it the
// master would see a hang-up (EIO for ever) each time the dashboard closes
// the port, and the terminal settings would be reset for the next open.
// Answers written while no dashboard has the port open wait in the terminal
// and reach the next one to open it, much as a real adapter's buffer would
// (the dashboard purges its queue before each request anyway).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/fault_injector.h"
#include "sim/meter_model.h"
#include "sim/request_assembler.h"

namespace quorvel::sim {

// 9600 baud with a start and a stop bit: ten bit times per byte.
inline constexpr std::chrono::microseconds kByteTime9600{1042};

struct PtyMeterOptions {
  std::uint64_t seed = 1;
  FaultOptions faults;
  // Time between two bytes of an answer; 0 writes an answer in one piece.
  std::chrono::microseconds byte_interval = kByteTime9600;
  // The meter's clock at start; the host's local time when empty.
  std::optional<std::chrono::local_seconds> start_clock;
  std::optional<std::uint32_t> meter_number;  // drawn from the seed when empty
  // Called on the meter's thread once the last byte of an answer is written,
  // with the answer's kind and the moment that byte was handed to the line
  // (taken just before the write): for latency measurements.
  std::function<void(std::uint8_t kind, HostTime written)> on_answer_written;
};

struct PtyMeterStats {
  std::uint64_t requests = 0;       // complete request frames received
  std::uint64_t unanswered = 0;     // requests the meter does not answer
  std::uint64_t skipped_bytes = 0;  // received bytes that were not part of a frame
  std::uint64_t bytes_sent = 0;
  FaultStats faults;  // every answer, with what happened to it
};

class PtyMeter {
 public:
  // Creates the pseudo-terminal in raw mode; nullptr with a message in
  // `error` when the system refuses.
  static std::unique_ptr<PtyMeter> Open(const PtyMeterOptions& options, std::string* error);
  ~PtyMeter();  // stops the thread and closes the terminal
  PtyMeter(const PtyMeter&) = delete;
  PtyMeter& operator=(const PtyMeter&) = delete;

  // Starts answering; false (with a message) when unplugged or the thread
  // cannot start. Starting a running meter does nothing.
  bool Start(std::string* error = nullptr);
  // Stops answering; answers not yet sent are dropped. Returns promptly.
  void Stop();
  bool Running() const { return thread_.joinable(); }

  const std::string& SlavePath() const { return slave_path_; }

  // Runs `f` on the model, brought up to the present, under the meter's
  // lock: the way tests read and force the meter's state.
  template <typename F>
  decltype(auto) WithModel(F&& f) {
    std::lock_guard lock(mutex_);
    model_.AdvanceTo(HostClock::now());
    return f(model_);
  }

  PtyMeterStats Stats() const;
  std::vector<AnswerLogEntry> AnswerLog() const;

  // Waits until at least `requests` requests have arrived and every answer
  // to them has been written (or dropped); false on time-out.
  bool WaitUntilIdle(std::uint64_t requests, std::chrono::milliseconds timeout) const;

  // Pulls the adapter out: stops and closes the master side, so the
  // dashboard's reads end and the device node disappears. Final. A meter
  // behind a link is unplugged through MeterSimulator::Unplug, which removes
  // the link first.
  void Unplug();
  bool Unplugged() const { return master_fd_ < 0; }

 private:
  struct Outgoing {
    HostTime due;
    std::vector<std::uint8_t> bytes;
    std::size_t sent = 0;
  };

  PtyMeter(const PtyMeterOptions& options, int master_fd, int slave_fd, int wake_fd, std::string slave_path);
  void Run();
  void Receive(HostTime now);
  void Send(HostTime now);
  std::optional<HostTime> NextSendTime() const;
  void LineDead();

  const std::chrono::microseconds byte_interval_;
  const std::function<void(std::uint8_t, HostTime)> on_answer_written_;
  int master_fd_;
  int slave_fd_;
  int wake_fd_;
  std::string slave_path_;
  std::thread thread_;
  bool stopping_ = false;  // read by the thread after a wake-up; set under mutex_

  // Only the meter's thread touches these.
  RequestAssembler assembler_;
  std::deque<Outgoing> queue_;  // answers in the order they go out
  HostTime next_byte_at_{};
  bool line_alive_ = true;
  bool write_blocked_ = false;

  mutable std::mutex mutex_;
  mutable std::condition_variable idle_;
  MeterModel model_;
  FaultInjector injector_;
  PtyMeterStats stats_;
  std::size_t queued_ = 0;  // answers waiting to go out, mirrored for WaitUntilIdle
};

}  // namespace quorvel::sim
