#include "protocol/commands.h"

#include "protocol/number_text.h"

namespace quorvel {
namespace {

std::uint8_t Byte(std::int64_t value) { return static_cast<std::uint8_t>(value & 0xFF); }

}  // namespace

RequestFrame BuildRequest(std::uint8_t command, const RequestParams& params) {
  RequestFrame frame{};
  frame[0] = 0x55;
  frame[1] = command;
  for (std::size_t i = 0; i < params.size(); ++i) frame[2 + i] = params[i];
  frame[10] = 0xAA;
  frame[11] = 0x0D;
  return frame;
}

std::uint8_t PairHigh(std::int32_t value) { return Byte(value / 100); }
std::uint8_t PairLow(std::int32_t value) { return Byte(value % 100); }

TariffValues TariffFromFields(std::string_view tier_box, std::string_view price1_box, std::string_view price2_box) {
  return TariffValues{ReadDecimalInteger(tier_box), TruncateToInt32(ReadDecimalNumber(price1_box) * 10),
                      TruncateToInt32(ReadDecimalNumber(price2_box) * 10)};
}

LimitValues LimitsFromFields(std::string_view energy_box, std::string_view cost_box, bool no_button_on) {
  return LimitValues{ReadDecimalInteger(energy_box), ReadDecimalInteger(cost_box), !no_button_on};
}

std::int32_t Co2FactorFromField(std::string_view factor_box) {
  return TruncateToInt32(ReadDecimalNumber(factor_box) * 1000);
}

bool FitsPairForm(std::int32_t value) { return value >= 0 && value <= 9999; }
bool FitsPairForm(const TariffValues& t) {
  return FitsPairForm(t.tier_limit) && FitsPairForm(t.price1) && FitsPairForm(t.price2);
}
bool FitsPairForm(const LimitValues& l) { return FitsPairForm(l.energy_limit) && FitsPairForm(l.cost_limit); }
bool FitsCo2Factor(std::int32_t factor_milli) { return factor_milli >= 0 && factor_milli <= 999; }

RequestFrame WriteClockRequest(const LocalClock& clock) {
  return BuildRequest(code::kWriteClock, {Byte(clock.year - 2000), Byte(clock.month), Byte(clock.day),
                                          Byte(clock.weekday), Byte(clock.hour), Byte(clock.minute), 0, 0});
}

RequestFrame WriteTariffRequest(const TariffValues& tariff) {
  return BuildRequest(code::kWriteTariff,
                      {PairHigh(tariff.tier_limit), PairLow(tariff.tier_limit), PairHigh(tariff.price1),
                       PairLow(tariff.price1), PairHigh(tariff.price2), PairLow(tariff.price2), 0, 0});
}

RequestFrame WriteTimerRequest(int timer, const TimerEntry& entry) {
  return BuildRequest(code::kWriteTimer,
                      {Byte(timer), entry.Mode, entry.OnHour, entry.OnMinute, entry.OffHour, entry.OffMinute, 0, 0});
}

RequestFrame WriteLimitsRequest(const LimitValues& limits) {
  return BuildRequest(code::kWriteLimits,
                      {PairHigh(limits.energy_limit), PairLow(limits.energy_limit), PairHigh(limits.cost_limit),
                       PairLow(limits.cost_limit), static_cast<std::uint8_t>(limits.shutdown ? 1 : 0), 0, 0, 0});
}

RequestFrame WriteCo2FactorRequest(std::int32_t factor_milli) {
  return BuildRequest(code::kWriteCo2Factor, {PairHigh(factor_milli), PairLow(factor_milli), 0, 0, 0, 0, 0, 0});
}

RequestFrame ReadClockRequest() { return BuildRequest(code::kReadClock); }

RequestFrame ReadTariffRequest(std::int32_t price_load_count) {
  return BuildRequest(code::kReadTariff, {Byte(price_load_count), 0, 0, 0, 0, 0, 0, 0});
}

RequestFrame ReadMonthHistoryRequest(int month) {
  return BuildRequest(code::kReadMonthHistory, {Byte(month), 0, 0, 0, 0, 0, 0, 0});
}

RequestFrame ReadRealTimeRequest() { return BuildRequest(code::kReadRealTime); }

RequestFrame ReadTimerRequest(int timer) { return BuildRequest(code::kReadTimer, {Byte(timer), 0, 0, 0, 0, 0, 0, 0}); }

RequestFrame ReadLimitsRequest() { return BuildRequest(code::kReadLimits); }
RequestFrame ReadCo2FactorRequest() { return BuildRequest(code::kReadCo2Factor); }
RequestFrame ReadMeterNumberRequest() { return BuildRequest(code::kReadMeterNumber); }
RequestFrame ResetTimersRequest() { return BuildRequest(code::kResetTimers); }

bool SendRequest(FramePort& port, int slot, const RequestFrame& frame) {
  if (!IsSlotNumber(slot) || !port.IsOpen(slot)) return false;
  port.Write(slot, frame);
  return true;
}

}  // namespace quorvel
