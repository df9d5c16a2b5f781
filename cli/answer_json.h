// One JSON object per decoded answer, keys in a fixed order, numbers with
// the decimals the dashboard shows them with.
#pragma once

#include <optional>
#include <string>

#include "model/device_record.h"
#include "model/display.h"
#include "protocol/decoder.h"

namespace quorvel::cli {

// Shows nothing; counts the ends of the long reads.
class TerminalDisplay : public NullDisplay {
 public:
  void BusyEnded(BusyOperation operation) override {
    if (operation == BusyOperation::kHistoryRead) ++history_reads_ended;
    if (operation == BusyOperation::kTimerRead) ++timer_reads_ended;
  }
  int history_reads_ended = 0;
  int timer_reads_ended = 0;
};

// `slot`, when given, comes first. A real-time answer's readings are those
// the table of reading fields gives a JSON key, in its order.
std::string AnswerJson(const DecodeOutcome& outcome, const DeviceTable& devices, int slot_of_answer,
                       std::optional<int> slot_key = std::nullopt);

}  // namespace quorvel::cli
