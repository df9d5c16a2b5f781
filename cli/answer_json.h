// One JSON object per decoded answer, keys in a fixed order, numbers with
// the decimals the dashboard shows them with.
#pragma once

#include <optional>
#include <string>

#include "model/device_record.h"
#include "model/display.h"
#include "protocol/decoder.h"

namespace quorvel::cli {

// Shows nothing; remembers the shutdown choice of the last limits answer.
class TerminalDisplay : public NullDisplay {
 public:
  void ShowLimits(const LimitTexts& texts) override { shutdown = texts.shutdown; }
  bool shutdown = false;
};

// `slot`, when given, comes first. `shutdown` is the state of the shutdown
// choice after a limits answer.
std::string AnswerJson(const DecodeOutcome& outcome, const DeviceTable& devices, int slot_of_answer,
                       bool shutdown, std::optional<int> slot_key = std::nullopt);

}  // namespace quorvel::cli
