// What each message says: a reading as one JSON object, what was read of a
// meter, and the time of a reading in ISO 8601 with the computer's offset.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace quorvel::publish {

using WallClock = std::chrono::system_clock;

// A real-time reading as the meter sent it.
struct MeterReading {
  float voltage = 0.0F;       // V
  float current = 0.0F;       // A
  float power = 0.0F;         // W
  float power_factor = 0.0F;  // signed: negative for a leading load
  double energy = 0.0;        // kWh, the meter's count
};

// The reading, where and when it was taken. `co2_factor` is the meter's,
// once read (kg CO2 per kWh); until then the reading has no CO2 figure.
struct StampedReading {
  int slot = 0;
  MeterReading values;
  std::optional<double> co2_factor;
  WallClock::time_point time;
  int utc_offset_seconds = 0;
};

// The offset of the computer's local time from UTC at `time`, in seconds.
int LocalUtcOffsetSeconds(WallClock::time_point time);

// "2024-05-01T12:34:56.789+02:00": the local time at `utc_offset_seconds`,
// to the millisecond.
std::string IsoTime(WallClock::time_point time, int utc_offset_seconds);

// {"time":...,"voltage":230.4,"current":1.25,"power":287.5,
//  "power_factor":-0.95,"energy":12.34,"co2":9.687,"slot":3}
// with the decimals the dashboard shows; "co2" is null until the meter's
// factor has been read.
std::string StateJson(const StampedReading& reading);

struct TariffInfo {
  double price1 = 0.0;  // tenths of a cent per kWh, as the meter keeps them
  double price2 = 0.0;
  int tier_limit = 0;  // kWh
};

struct LimitInfo {
  double energy_limit = 0.0;  // kWh
  double cost_limit = 0.0;    // dollars
};

// What has been read of a meter since its port opened.
struct MeterInfo {
  int slot = 0;
  std::string meter_number;  // empty until read
  std::optional<TariffInfo> tariff;
  std::optional<LimitInfo> limits;
  std::optional<double> co2_factor;
};

// {"slot":3,"port":"COM3","meter_number":"12345678","price1":12.5,
//  "price2":15.0,"tier_limit":100,"energy_limit":500,"cost_limit":80,
//  "co2_factor":0.785}: prices in cents per kWh as the dashboard shows
// them; null for what has not been read.
std::string InfoJson(const MeterInfo& info);

}  // namespace quorvel::publish
