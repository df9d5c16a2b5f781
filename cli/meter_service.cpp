#include "cli/meter_service.h"

#include <cstdio>

#include "cli/engine_session.h"
#include "cli/output_text.h"
#include "model/names.h"
#include "protocol/commands.h"

namespace quorvel::cli {
namespace {

// The service looks for missing meters and for the next meter to greet this
// often; a greeting waits until the requests before it are served.
constexpr int kHousekeepingMs = 250;
constexpr int kRetryEveryTicks = 4;
// A greeting's last answer has come this long after its request at the
// latest; a number not come by then was lost on the line.
constexpr qint64 kNumberWaitMs = 2000;

}  // namespace

std::unique_ptr<publish::Publisher> MakePublisher(const std::string& command, const PublishSettings& settings) {
  std::vector<std::string> problems;
  std::vector<std::string> warnings;
  auto publisher = publish::MakePublisher(
      settings, "quorvel-cli " QUORVEL_VERSION,
      [command](const std::string& sentence) {
        std::fprintf(stderr, "quorvel-cli %s: %s\n", command.c_str(), Printable(sentence).c_str());
      },
      &problems, &warnings);
  for (const std::string& warning : warnings) {
    std::fprintf(stderr, "quorvel-cli %s: warning: %s\n", command.c_str(), Printable(warning).c_str());
  }
  for (const std::string& problem : problems) {
    std::fprintf(stderr, "quorvel-cli %s: %s\n", command.c_str(), Printable(problem).c_str());
  }
  return publisher;
}

MeterService::MeterService(std::string command, Engine& engine, std::vector<int> slots, bool wait_for_missing)
    : command_(std::move(command)), engine_(engine), slots_(std::move(slots)), wait_for_missing_(wait_for_missing) {
  QObject::connect(&timer_, &QTimer::timeout, [this] { Housekeep(); });
  QObject::connect(&engine_, &Engine::deviceReturned, &timer_, [this](int slot) {
    greetings_.erase(slot);
    numbered_.erase(slot);
    to_greet_.push_back(slot);
  });
  QObject::connect(&engine_, &Engine::frameDecoded, &timer_, [this](int slot, DecodeOutcome outcome) {
    if (outcome.kind == code::kReadRealTime) answered_.insert(slot);
    if (outcome.kind == code::kReadMeterNumber && outcome.status == DecodeStatus::kHandled) numbered_.insert(slot);
  });
  quiet_.start();
}

MeterService::~MeterService() { timer_.stop(); }

bool MeterService::Start(bool save_rows) {
  save_rows_ = save_rows;
  // As the chart view tracks meters: every open meter is polled each tick
  // and every answer counts towards the rows, with one counter for all.
  engine_.SetChartViewOpen(true);
  engine_.SetRealTimeMode(true);
  for (const int slot : slots_) {
    if (engine_.IsOpen(slot)) {  // opened as the comm button does: the selected one is being greeted
      const bool greeted = engine_.RequestsPending() && engine_.List().SelectedSlot() == slot;
      if (greeted) {
        ++greetings_[slot];
      } else {
        to_greet_.push_back(slot);
      }
      if (save_rows_) engine_.SetSaving(slot, true);
      continue;
    }
    if (TryOpen(slot)) continue;
    const std::string why = OpenFailureMessage(slot, engine_.LastOpenError(slot));
    if (!wait_for_missing_) {
      std::fprintf(stderr, "quorvel-cli %s: %s\n", command_.c_str(), why.c_str());
      return false;
    }
    missing_.insert(slot);
    missing_told_.insert(slot);
    std::fprintf(stderr, "quorvel-cli %s: %s; trying again each second\n", command_.c_str(), why.c_str());
  }
  timer_.start(kHousekeepingMs);
  return true;
}

bool MeterService::TryOpen(int slot) {
  if (!engine_.OpenDevice(slot)) return false;
  greetings_.erase(slot);
  numbered_.erase(slot);
  to_greet_.push_back(slot);
  if (save_rows_) engine_.SetSaving(slot, true);
  return true;
}

void MeterService::Housekeep() {
  if (++ticks_ % kRetryEveryTicks == 0) {
    for (auto it = missing_.begin(); it != missing_.end();) {
      if (TryOpen(*it)) {
        std::fprintf(stderr, "quorvel-cli %s: %s is open\n", command_.c_str(), ComName(*it).c_str());
        it = missing_.erase(it);
      } else {
        ++it;
      }
    }
  }
  // One meter at a time: the greeting goes to the selected meter.
  if (engine_.RequestsPending()) {
    quiet_.restart();
    return;
  }
  while (!to_greet_.empty()) {
    const int slot = to_greet_.front();
    if (!engine_.IsOpen(slot)) {
      to_greet_.pop_front();
      continue;
    }
    // A device that came after the start is listed by the next port scan.
    if (!engine_.Select(slot)) return;
    to_greet_.pop_front();
    Greet(slot);
    return;
  }
  // Until its number comes, the publisher holds a meter's readings back
  // and then sends them by its port.
  if (quiet_.elapsed() < kNumberWaitMs) return;
  if (const std::optional<int> slot = Unnumbered(); slot && engine_.Select(*slot)) Greet(*slot);
}

void MeterService::Greet(int slot) {
  ++greetings_[slot];
  engine_.RequestGreeting();
  quiet_.restart();
}

std::optional<int> MeterService::Unnumbered() const {
  for (const int slot : slots_) {
    const auto greeted = greetings_.find(slot);
    if (greeted == greetings_.end() || numbered_.count(slot) != 0 || !engine_.IsOpen(slot)) continue;
    if (greeted->second <= kExtraReadRounds) return slot;
  }
  return std::nullopt;
}

}  // namespace quorvel::cli
