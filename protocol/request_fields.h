// The values of the page fields that requests carry, read at the moment a
// request is built.
#pragma once

#include <cstdint>

#include "protocol/commands.h"

namespace quorvel {

class RequestFields {
 public:
  virtual ~RequestFields() = default;
  virtual TariffValues Tariff() const = 0;       // tier boundary and prices
  virtual LimitValues Limits() const = 0;        // kWh and cost limits, shutdown choice
  virtual std::int32_t Co2FactorMilli() const = 0;  // kg per kWh x 1000
};

// Fields given as values: the command-line tool and tests.
struct FixedRequestFields : RequestFields {
  TariffValues Tariff() const override { return tariff; }
  LimitValues Limits() const override { return limits; }
  std::int32_t Co2FactorMilli() const override { return co2_factor_milli; }

  TariffValues tariff{5000, 300, 400};
  LimitValues limits{};
  std::int32_t co2_factor_milli = 0;
};

}  // namespace quorvel
