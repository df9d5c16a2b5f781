// The transport of one device slot: opens the device, runs a monitor thread
// that hands every received byte to the owner in order, and sends the byte
// blocks the user-interface thread queues.
//
// Threads: every public call is made on the owner's (user-interface)
// thread. The monitor thread owns the device; received bytes reach the
// owner through a blocking hand-off on the owner's thread, and a shutdown
// always wins over that hand-off, so the owner may wait for a monitor to end
// while that monitor has bytes for it.
//
// Bytes that arrive together are handed over together: a monitor woken by a
// byte keeps reading while the line keeps bringing more, and hands the batch
// over when the line has been quiet for two character times, when the last
// byte read is the batch-end byte (SetBatchEnd), or when the batch's first
// byte has waited kBatchCharacters character times. It looks at the line a
// quiet gap at a time, the first time after as many characters as its last
// batch held. One answer of a meter then costs the owner's thread one
// wake-up, not one per byte, and the monitor one or two.
#pragma once

#include <QObject>
#include <QThread>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "model/notifier.h"

namespace quorvel {

// Serial events a port can be asked to watch.
namespace serial_event {
inline constexpr std::uint32_t kCharacterReceived = 0x0001;
inline constexpr std::uint32_t kEventCharacter = 0x0002;
inline constexpr std::uint32_t kClearToSendChange = 0x0008;
inline constexpr std::uint32_t kBreak = 0x0040;
inline constexpr std::uint32_t kLineError = 0x0080;
inline constexpr std::uint32_t kRing = 0x0100;
}  // namespace serial_event

class SerialPortOwner {
 public:
  virtual ~SerialPortOwner() = default;
  // The device to open for a port number ("/dev/ttyUSB0", "COM3", ...).
  virtual std::string DeviceNameFor(unsigned port_number) const = 0;
  // Received bytes, in arrival order. The monitor waits until this returns.
  virtual void OnBytesReceived(unsigned port_number, std::span<const std::uint8_t> bytes) = 0;
  // The device went away while open; the monitor has closed it and ended.
  // Nobody has been told: the owner says it, in words of its own.
  virtual void OnPortLost(unsigned /*port_number*/) {}
};

enum class OpenFailure { kNone, kNotFound, kBusy, kPermissionDenied, kOther };

struct OpenError {
  OpenFailure kind = OpenFailure::kNone;
  std::string device;
  std::string text;  // the system's own words
  // kBusy because this program has the same device open already, under
  // this port number (a slot).
  unsigned same_device_port = 0;
};

// How a monitor hands received bytes over. kBatch is the program's way;
// kEachRead hands every read over as it comes, the way before batches,
// kept so that a benchmark can weigh the two in one run.
enum class HandOffRule { kBatch, kEachRead };
// The rule for monitors of ports opened from now on (all ports of the
// process). Only benchmarks change it.
void SetHandOffRule(HandOffRule rule);
// Hand-offs of received bytes made by every port of the process so far.
std::uint64_t ReceivedHandOffs();

// The longest a batch keeps its first byte, in character times of the line:
// a stream that never pauses (noise, a line at the wrong speed) still
// reaches the owner at least this often, and an answer of up to about this
// many bytes arriving at the line's pace still goes over in one piece.
inline constexpr int kBatchCharacters = 32;
// Time of one character (start bit, data bits, parity bit, stop bits) at
// `baud`; a nonsensical line counts as 9600 baud 8N1.
std::chrono::microseconds CharacterTime(int baud, char parity, int data_bits, int stop_bits);

// "WARNING:  <call> Failed with the following error: ..." cut to 199 characters.
std::string SerialFailureText(const std::string& call, const std::string& system_text, unsigned port_number);

class CSerialPort {
 public:
  explicit CSerialPort(Notifier& notifier);
  virtual ~CSerialPort();
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;

  // Stops a running monitor first. False only when the device cannot be
  // opened (see LastOpenError); a configuration step that fails is reported
  // through the notifier and the port stays open.
  bool OpenPort(SerialPortOwner* owner, unsigned port_number, int baud, char parity, int data_bits, int stop_bits,
                std::uint32_t event_mask, int write_buffer_size);
  bool StartMonitor();
  // The byte that ends a batch at once when it is the last byte read (a
  // frame's end byte), or none: batches then end at a quiet gap or their
  // age bound only. Takes effect at the next OpenPort.
  void SetBatchEnd(std::optional<std::uint8_t> end_byte) { batch_end_ = end_byte; }
  // Queues the bytes for the monitor to send and returns at once. There is
  // one buffer: a second Write before the monitor took the first replaces it.
  void Write(std::span<const std::uint8_t> bytes);
  // Asks the monitor to close the device and end; does not wait.
  void SignalShutdown();
  // Closes the device and waits until the monitor has ended.
  void Close() { StopMonitorAndWait(); }
  bool MonitorAlive() const;

  const OpenError& LastOpenError() const { return open_error_; }
  unsigned PortNumber() const { return port_number_; }

  struct Shared;
  class Monitor;

 private:
  void StopMonitorAndWait();

  Notifier& notifier_;
  QObject owner_context_;  // lives on the owner's thread; hand-offs are queued to it
  std::shared_ptr<Shared> shared_;
  std::unique_ptr<QThread> thread_;
  Monitor* monitor_ = nullptr;  // lives on thread_, deleted when it finishes
  SerialPortOwner* owner_ = nullptr;
  unsigned port_number_ = 0;
  std::uint32_t event_mask_ = 0;
  std::optional<std::uint8_t> batch_end_;
  OpenError open_error_;
};

}  // namespace quorvel
