// How the meter answers each request.
#include <algorithm>

#include "sim/meter_model.h"

namespace quorvel::sim {

namespace {

using Data = std::vector<std::uint8_t>;

Data Frame(const Data& data) { return AnswerFrame(data); }

Data Acknowledge(std::uint8_t kind) { return Frame(Data{kind}); }

void AppendRegister(Data& data, std::uint8_t high, std::uint8_t low) {
  data.push_back(high);
  data.push_back(low);
}

}  // namespace

std::vector<std::uint8_t> MeterModel::Answer(RequestView request) {
  if (!IsRequestFrame(request)) return {};
  const auto p = [&request](std::size_t number) { return Param(request, number); };
  switch (request[1]) {
    case request::kWriteClock:
      return AnswerWriteClock(request);
    case request::kWriteTariff:
      tier_limit_ = {p(1), p(2)};
      price1_ = {p(3), p(4)};
      price2_ = {p(5), p(6)};
      return Acknowledge(request::kWriteTariff);
    case request::kWriteTimer: {
      const int number = p(1);
      // A timer the meter does not have gets no answer, as with reads.
      if (number < 1 || number > kTimerCount) return {};
      timers_[static_cast<std::size_t>(number - 1)] = {p(2), p(3), p(4), p(5), p(6)};
      return Acknowledge(request::kWriteTimer);
    }
    case request::kWriteLimits:
      energy_limit_ = {p(1), p(2)};
      cost_limit_ = {p(3), p(4)};
      shutdown_ = p(5);
      return Acknowledge(request::kWriteLimits);
    case request::kWriteCo2Factor:
      co2_ = {p(1), p(2)};
      return Acknowledge(request::kWriteCo2Factor);
    case request::kResetTimers:
      timers_.fill(TimerSetting{});
      return Acknowledge(request::kResetTimers);
    case request::kReadClock:
      return AnswerReadClock();
    case request::kReadTariff:
      return AnswerReadTariff(p(1));
    case request::kReadMonthHistory:
      return AnswerMonthHistory(p(1));
    case request::kReadRealTime:
      return AnswerRealTime();
    case request::kReadTimer:
      return AnswerReadTimer(p(1));
    case request::kReadLimits:
      return AnswerReadLimits();
    case request::kReadCo2Factor: {
      Data data{request::kReadCo2Factor};
      AppendRegister(data, co2_.high, co2_.low);
      return Frame(data);
    }
    case request::kReadMeterNumber: {
      Data data{request::kReadMeterNumber};
      data.insert(data.end(), meter_number_.begin(), meter_number_.end());
      return Frame(data);
    }
    default:
      return {};
  }
}

std::vector<std::uint8_t> MeterModel::AnswerWriteClock(RequestView request) {
  const int year = 2000 + Param(request, 1);
  const unsigned month = Param(request, 2);
  const unsigned day = Param(request, 3);
  const int weekday = Param(request, 4);
  const int hour = Param(request, 5);
  const int minute = Param(request, 6);
  const std::chrono::year_month_day date{std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{day}};
  // The meter has no way to refuse: it acknowledges every clock write, but
  // keeps its clock when the date or time is impossible.
  if (year <= 2099 && date.ok() && hour <= 23 && minute <= 59) {
    const auto time = std::chrono::local_days{date} + std::chrono::hours{hour} + std::chrono::minutes{minute};
    const int real = static_cast<int>(std::chrono::weekday{std::chrono::local_days{date}}.c_encoding());
    SetClock(time, weekday <= 6 ? weekday : real);
  }
  return Acknowledge(request::kWriteClock);
}

void MeterModel::AppendClock(std::vector<std::uint8_t>& data) const {
  const MeterClock clock = Clock();
  data.push_back(static_cast<std::uint8_t>(clock.year - 2000));
  data.push_back(static_cast<std::uint8_t>(clock.month));
  data.push_back(static_cast<std::uint8_t>(clock.day));
  data.push_back(static_cast<std::uint8_t>(clock.weekday + 1));  // sent as 1 = Sunday
  data.push_back(static_cast<std::uint8_t>(clock.hour));
  data.push_back(static_cast<std::uint8_t>(clock.minute));
}

std::vector<std::uint8_t> MeterModel::AnswerReadClock() const {
  Data data{request::kReadClock};
  AppendClock(data);
  return Frame(data);
}

std::vector<std::uint8_t> MeterModel::AnswerReadTariff(std::uint8_t count) const {
  // The kind counts the reads of a multi-read, 0x86 for the first.
  const auto kind = static_cast<std::uint8_t>(0x85 + std::clamp<int>(count, 1, 5));
  Data data{kind};
  AppendRegister(data, tier_limit_.high, tier_limit_.low);
  AppendRegister(data, price1_.high, price1_.low);
  AppendRegister(data, price2_.high, price2_.low);
  return Frame(data);
}

void MeterModel::SetMonthUnanswered(int month, bool unanswered) {
  if (month >= 1 && month <= 12) month_unanswered_[static_cast<std::size_t>(month)] = unanswered;
}

std::vector<std::uint8_t> MeterModel::AnswerMonthHistory(std::uint8_t month) const {
  if (month >= 1 && month <= 12 && month_unanswered_[month]) return {};
  // A month the meter does not have is answered all the same, with every
  // day unread, so the dashboard's handling of a bad month byte can be seen.
  Data data{request::kReadMonthHistory, month};
  for (int day = 1; day <= EnergyHistory::kDays; ++day) AppendLong(data, history_.Counter(month, day));
  return Frame(data);
}

std::vector<std::uint8_t> MeterModel::AnswerRealTime() const {
  const Readings r = LiveReadings();
  Data data{request::kReadRealTime};
  AppendClock(data);
  AppendWord(data, r.current);
  AppendWord(data, r.voltage);
  AppendWord(data, r.power);
  AppendWord(data, PowerFactorWord(r.power_factor));
  AppendLong(data, EnergyCounter());
  return Frame(data);
}

std::vector<std::uint8_t> MeterModel::AnswerReadTimer(std::uint8_t number) const {
  if (number < 1 || number > kTimerCount) return {};
  const TimerSetting& t = timers_[static_cast<std::size_t>(number - 1)];
  return Frame(
      Data{static_cast<std::uint8_t>(0x97 + number), number, t.mode, t.on_hour, t.on_minute, t.off_hour, t.off_minute});
}

std::vector<std::uint8_t> MeterModel::AnswerReadLimits() const {
  Data data{request::kReadLimits};
  AppendRegister(data, energy_limit_.high, energy_limit_.low);
  AppendRegister(data, cost_limit_.high, cost_limit_.low);
  data.push_back(shutdown_);
  return Frame(data);
}

}  // namespace quorvel::sim
