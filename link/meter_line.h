// The line every meter speaks. Only the baud rate comes from the settings;
// parity, character size, stop bits, watched events and the write buffer
// are fixed. An answer's end byte ends a batch of received bytes.
#pragma once

#include <cstdint>

#include "link/serial_port.h"
#include "protocol/receive_slot.h"

namespace quorvel {

inline constexpr char kLineParity = 'N';
inline constexpr int kLineDataBits = 8;
inline constexpr int kLineStopBits = 1;
inline constexpr std::uint32_t kLineEventMask = serial_event::kCharacterReceived | serial_event::kClearToSendChange;
inline constexpr int kWriteBufferSize = 512;

// Opens the port of a slot on the meters' line; see CSerialPort::OpenPort.
inline bool OpenMeterLine(CSerialPort& port, SerialPortOwner* owner, int slot, int baudrate) {
  port.SetBatchEnd(kFrameEnd);
  return port.OpenPort(owner, static_cast<unsigned>(slot), baudrate, kLineParity, kLineDataBits, kLineStopBits,
                       kLineEventMask, kWriteBufferSize);
}

}  // namespace quorvel
