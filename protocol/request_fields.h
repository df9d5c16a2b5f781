// The values of the page fields that requests carry, read and checked at
// the moment a request is built. Each gives nothing when a field breaks its
// rule (the field shows it, marked red): then nothing may be sent.
#pragma once

#include <cstdint>
#include <optional>

#include "protocol/commands.h"

namespace quorvel {

class RequestFields {
 public:
  virtual ~RequestFields() = default;
  virtual std::optional<TariffValues> Tariff() = 0;          // tier boundary and prices
  virtual std::optional<LimitValues> Limits() = 0;           // kWh and cost limits, shutdown choice
  virtual std::optional<std::int32_t> Co2FactorMilli() = 0;  // kg per kWh x 1000
};

// Fields given as values: the command-line tool and tests.
struct FixedRequestFields : RequestFields {
  std::optional<TariffValues> Tariff() override { return tariff; }
  std::optional<LimitValues> Limits() override { return limits; }
  std::optional<std::int32_t> Co2FactorMilli() override { return co2_factor_milli; }

  TariffValues tariff{5000, 300, 400};
  LimitValues limits{};
  std::int32_t co2_factor_milli = 0;
};

}  // namespace quorvel
