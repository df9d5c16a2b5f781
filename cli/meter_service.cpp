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
  QObject::connect(&engine_, &Engine::deviceReturned, &timer_, [this](int slot) { to_greet_.push_back(slot); });
  QObject::connect(&engine_, &Engine::frameDecoded, &timer_, [this](int slot, DecodeOutcome outcome) {
    if (outcome.kind == code::kReadRealTime) answered_.insert(slot);
  });
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
      if (!greeted) to_greet_.push_back(slot);
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
  if (engine_.RequestsPending()) return;
  while (!to_greet_.empty()) {
    const int slot = to_greet_.front();
    if (!engine_.IsOpen(slot)) {
      to_greet_.pop_front();
      continue;
    }
    // A device that came after the start is listed by the next port scan.
    if (!engine_.Select(slot)) return;
    to_greet_.pop_front();
    engine_.RequestGreeting();
    return;
  }
}

}  // namespace quorvel::cli
