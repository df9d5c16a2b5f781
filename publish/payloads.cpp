#include "publish/payloads.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "model/names.h"
#include "publish/json_text.h"

namespace quorvel::publish {

int LocalUtcOffsetSeconds(WallClock::time_point time) {
  const std::time_t seconds = WallClock::to_time_t(time);
#if defined(_WIN32)
  std::tm local{};
  std::tm utc{};
  localtime_s(&local, &seconds);
  gmtime_s(&utc, &seconds);
  utc.tm_isdst = local.tm_isdst;
  return static_cast<int>(std::difftime(std::mktime(&local), std::mktime(&utc)));
#else
  std::tm local{};
  localtime_r(&seconds, &local);
  return static_cast<int>(local.tm_gmtoff);
#endif
}

std::string IsoTime(WallClock::time_point time, int utc_offset_seconds) {
  using namespace std::chrono;
  const auto local = floor<milliseconds>(time) + seconds{utc_offset_seconds};
  const auto day = floor<days>(local);
  const year_month_day date{day};
  const hh_mm_ss clock{local - day};
  const int offset_minutes = std::abs(utc_offset_seconds) / 60;
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02ld:%02ld:%02lld.%03lld%c%02d:%02d", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<long>(clock.hours().count()), static_cast<long>(clock.minutes().count()),
                static_cast<long long>(clock.seconds().count()), static_cast<long long>(clock.subseconds().count()),
                utc_offset_seconds < 0 ? '-' : '+', offset_minutes / 60, offset_minutes % 60);
  return text;
}

std::string StateJson(const StampedReading& reading) {
  const MeterReading& r = reading.values;
  JsonObject json;
  json.Text("time", IsoTime(reading.time, reading.utc_offset_seconds))
      .Number("voltage", r.voltage, 1)
      .Number("current", r.current, 2)
      .Number("power", r.power, 1)
      .Number("power_factor", r.power_factor, 2)
      .Number("energy", r.energy, 2);
  if (reading.co2_factor) {
    // As the dashboard shows it: the factor times the energy, in single precision.
    json.Number("co2", static_cast<float>(*reading.co2_factor * r.energy), 3);
  } else {
    json.Null("co2");
  }
  return json.Integer("slot", reading.slot).Done();
}

std::string InfoJson(const MeterInfo& info) {
  JsonObject json;
  json.Integer("slot", info.slot).Text("port", ComName(info.slot));
  if (info.meter_number.empty()) {
    json.Null("meter_number");
  } else {
    json.Text("meter_number", info.meter_number);
  }
  if (info.tariff) {
    json.Number("price1", info.tariff->price1 / 10.0, 1)
        .Number("price2", info.tariff->price2 / 10.0, 1)
        .Integer("tier_limit", info.tariff->tier_limit);
  } else {
    json.Null("price1").Null("price2").Null("tier_limit");
  }
  if (info.limits) {
    // Whole numbers, as the dashboard shows them.
    json.Integer("energy_limit", static_cast<long long>(info.limits->energy_limit))
        .Integer("cost_limit", static_cast<long long>(info.limits->cost_limit));
  } else {
    json.Null("energy_limit").Null("cost_limit");
  }
  if (info.co2_factor) {
    json.Number("co2_factor", *info.co2_factor, 3);
  } else {
    json.Null("co2_factor");
  }
  return json.Done();
}

}  // namespace quorvel::publish
