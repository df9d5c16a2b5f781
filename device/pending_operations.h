// Work the pages have asked for and the one-second tick has not done yet.
// A counter is pending while it is above 0; the tick serves one per second.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "model/device_record.h"

namespace quorvel {

// A timer-page entry with this mode has nothing to send.
inline constexpr std::uint8_t kNothingToSend = 0xFF;

// Rows of the timer page to download: timer n's is entry n - 1; an empty
// entry leaves that timer's outbox entry as it is.
using TimerEdits = std::array<std::optional<TimerEntry>, kTimerCount>;

// A timer or history read asks once for everything, then up to this many
// times again for what did not answer.
inline constexpr int kExtraReadRounds = 2;

struct PendingOperations {
  std::int32_t PriceSetCount = 0;
  std::int32_t PriceLoadCount = 0;
  std::int32_t TimerSetCount = 0;   // timer numbers still to examine, from 20 down
  std::int32_t TimerLoadCount = 0;  // the next timer to ask for, from 20 down
  std::int32_t LimitSetRequest = 0;
  std::int32_t LimitReadRequest = 0;
  std::int8_t HistoryMonthsLeft = 0;  // the next month to ask for, from 12 down
  // Rounds of a running timer or history read (0: none runs). A round whose
  // requests are all out is pending until a tick has looked at what came.
  std::int32_t TimerLoadRound = 0;
  std::int8_t HistoryRound = 0;
  std::int32_t TimeSetRequest = 0;
  std::int32_t Co2SetRequest = 0;
  std::int32_t Co2LoadRequest = 0;
  std::int32_t MeterNumberRequest = 0;
  std::int32_t TimerResetRequest = 0;

  // Timer n's edited entry is TimerOutbox[n - 1].
  std::array<TimerEntry, kTimerCount> TimerOutbox = EmptyOutbox();

  bool AnyPending() const {
    return PriceSetCount > 0 || PriceLoadCount > 0 || TimerSetCount > 0 || TimerLoadCount > 0 || LimitSetRequest > 0 ||
           LimitReadRequest > 0 || HistoryMonthsLeft > 0 || TimerLoadRound > 0 || HistoryRound > 0 ||
           TimeSetRequest > 0 || Co2SetRequest > 0 || Co2LoadRequest > 0 || MeterNumberRequest > 0 ||
           TimerResetRequest > 0;
  }

  // Drops every counter; the outbox keeps its entries.
  void ClearCounters() {
    const auto outbox = TimerOutbox;
    *this = PendingOperations{};
    TimerOutbox = outbox;
  }

  // What opening a port asks of the meter: tariff, limits, CO2 factor and
  // meter number, one per tick.
  void RequestPortGreeting() {
    PriceLoadCount = 1;
    LimitReadRequest = 1;
    Co2LoadRequest = 1;
    MeterNumberRequest = 1;
  }

  static std::array<TimerEntry, kTimerCount> EmptyOutbox() {
    std::array<TimerEntry, kTimerCount> outbox{};
    for (auto& entry : outbox) entry.Mode = kNothingToSend;
    return outbox;
  }
};

}  // namespace quorvel
