// The dashboard's requests, byte for byte. Every request is a 12-byte frame:
//   0x55, code, P1..P8, 0xAA, 0x0D
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "model/device_record.h"
#include "model/local_clock.h"

namespace quorvel {

namespace code {
inline constexpr std::uint8_t kWriteClock = 0x01;
inline constexpr std::uint8_t kWriteTariff = 0x06;
inline constexpr std::uint8_t kWriteTimer = 0x18;
inline constexpr std::uint8_t kWriteLimits = 0x2C;
inline constexpr std::uint8_t kWriteCo2Factor = 0x47;
inline constexpr std::uint8_t kReadClock = 0x81;
inline constexpr std::uint8_t kReadTariff = 0x86;
inline constexpr std::uint8_t kReadTariffLast = 0x8A;  // tariff answers run 0x86..0x8A
inline constexpr std::uint8_t kReadMonthHistory = 0x8B;
inline constexpr std::uint8_t kReadRealTime = 0x97;
inline constexpr std::uint8_t kReadTimer = 0x98;
inline constexpr std::uint8_t kReadTimerLast = 0xAB;  // timer answers run 0x98..0xAB
inline constexpr std::uint8_t kReadLimits = 0xAC;
inline constexpr std::uint8_t kReadCo2Factor = 0xC7;
inline constexpr std::uint8_t kReadMeterNumber = 0xC8;
inline constexpr std::uint8_t kResetTimers = 0xD0;
}  // namespace code

inline constexpr std::size_t kRequestSize = 12;
using RequestFrame = std::array<std::uint8_t, kRequestSize>;
using RequestParams = std::array<std::uint8_t, 8>;

RequestFrame BuildRequest(std::uint8_t command, const RequestParams& params = {});

// Two-byte values travel as value / 100 and value mod 100 in signed 32-bit
// arithmetic, each truncated to 8 bits; nothing is range-checked here.
std::uint8_t PairHigh(std::int32_t value);
std::uint8_t PairLow(std::int32_t value);

// Request values as the meter receives them.
struct TariffValues {
  std::int32_t tier_limit = 0;  // kWh
  std::int32_t price1 = 0;      // raw: ten times the shown price
  std::int32_t price2 = 0;
};
struct LimitValues {
  std::int32_t energy_limit = 0;  // kWh
  std::int32_t cost_limit = 0;    // dollars
  bool shutdown = false;
};

// From the page fields: boundary as an integer, prices as decimals x 10,
// truncated. Text that is not a number reads as 0.
TariffValues TariffFromFields(std::string_view tier_box, std::string_view price1_box, std::string_view price2_box);
LimitValues LimitsFromFields(std::string_view energy_box, std::string_view cost_box, bool no_button_on);
// Factor in kg per kWh x 1000, truncated.
std::int32_t Co2FactorFromField(std::string_view factor_box);

// Whether every two-byte value lies in 0..9999, all the pair form carries:
// a value outside would reach the meter as another value.
bool FitsPairForm(std::int32_t value);
bool FitsPairForm(const TariffValues& tariff);
bool FitsPairForm(const LimitValues& limits);
// The meter keeps a CO2 factor of 0.000 .. 0.999 kg per kWh.
bool FitsCo2Factor(std::int32_t factor_milli);

// The computer's local clock at the moment of sending.
RequestFrame WriteClockRequest(const LocalClock& clock);
RequestFrame WriteTariffRequest(const TariffValues& tariff);
RequestFrame WriteTimerRequest(int timer, const TimerEntry& entry);
RequestFrame WriteLimitsRequest(const LimitValues& limits);
RequestFrame WriteCo2FactorRequest(std::int32_t factor_milli);
RequestFrame ReadClockRequest();
RequestFrame ReadTariffRequest(std::int32_t price_load_count);
RequestFrame ReadMonthHistoryRequest(int month);
RequestFrame ReadRealTimeRequest();
RequestFrame ReadTimerRequest(int timer);
RequestFrame ReadLimitsRequest();
RequestFrame ReadCo2FactorRequest();
RequestFrame ReadMeterNumberRequest();
RequestFrame ResetTimersRequest();

// Where request frames go: the serial ports of the slots.
class FramePort {
 public:
  virtual ~FramePort() = default;
  virtual bool IsOpen(int slot) const = 0;
  // Hands the bytes over in one piece; returns before they are on the line.
  virtual void Write(int slot, std::span<const std::uint8_t> bytes) = 0;
};

// Hands the frame to the slot's port; a closed slot gets nothing. Returns
// whether the frame was handed over.
bool SendRequest(FramePort& port, int slot, const RequestFrame& frame);

}  // namespace quorvel
