// The transport of one device slot: opens the device, runs a monitor thread
// that hands every received byte to the owner in order, and sends the byte
// blocks the user-interface thread queues.
//
// Threads: every public call is made on the owner's (user-interface)
// thread. The monitor thread owns the device; received bytes reach the
// owner through a blocking hand-off on the owner's thread, and a shutdown
// always wins over that hand-off, so the owner may wait for a monitor to end
// while that monitor has bytes for it.
#pragma once

#include <QObject>
#include <QThread>

#include <cstdint>
#include <memory>
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
  bool OpenPort(SerialPortOwner* owner, unsigned port_number, int baud, char parity, int data_bits,
                int stop_bits, std::uint32_t event_mask, int write_buffer_size);
  bool StartMonitor();
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
  OpenError open_error_;
};

}  // namespace quorvel
