// The one interface through which the presenter and the scheduler show
// things in a view. It receives finished texts and values and never computes
// them; the main window implements it, tests and the command-line tool have
// small ones of their own. Live readings reach the views that follow them
// (the chart view, the spreadsheet) through the reading stream instead.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "model/device_record.h"
#include "model/reading_fields.h"

namespace quorvel {

inline constexpr int kNoEntry = -1;  // a list with nothing selected

struct ClockTexts {
  std::string date;              // "2009/06/23"
  std::string time;              // "09:30"
  int weekday_entry = kNoEntry;  // entry of the Sunday-first week-day list
};

struct ReadingTexts {
  // Each reading of the table at its field's index, with the table's decimals.
  std::array<std::string, kReadingFieldCount> fields;
  std::string co2;             // "%0.3f"
  bool current_alarm = false;  // the current box turns red
  std::string limit_tooltip;   // "Limit Go" or empty

  const std::string& Text(ReadingField field) const { return fields[Index(field)]; }
};

// What a history box shows when its days include a month the meter never
// answered for: no number at all rather than a zero that is not real.
inline constexpr const char* kUnknownHistoryText = "--";

// The Day, Week and Month boxes; an empty optional leaves that box as it is.
struct HistoryTexts {
  std::optional<std::string> day;
  std::optional<std::string> week;
  std::optional<std::string> month;
};

struct TariffTexts {
  std::string price1;      // "%0.1f" of Price1 / 10
  std::string price2;      // "%0.1f" of Price2 / 10
  std::string tier_limit;  // "%d"
};

struct TimerTexts {
  std::string on_time;        // "08:00"
  std::string off_time;       // "17:30"
  int mode_entry = kNoEntry;  // entry of the day-pattern list: Mode - 1
};

struct LimitTexts {
  std::string energy_limit;  // "%d"
  std::string cost_limit;    // "%d"
  bool shutdown = false;     // YES pressed, else NO pressed
};

// Long operations that keep the user waiting.
enum class BusyOperation { kHistoryRead, kTimerRead, kTimerWrite };

class Display {
 public:
  virtual ~Display() = default;

  // Real-time page.
  virtual void ShowClock(const ClockTexts& texts) = 0;
  virtual void ShowReadings(const ReadingTexts& texts) = 0;
  virtual void ShowTariff(const TariffTexts& texts) = 0;
  virtual void ShowHistoryBoxes(const HistoryTexts& texts) = 0;
  virtual void ShowCo2Factor(const std::string& text) = 0;
  virtual void ShowLimitAlarm(bool image_shown) = 0;
  // Timer page: timer 1..20.
  virtual void ShowTimer(int timer, const TimerTexts& texts) = 0;
  // System settings page.
  virtual void ShowLimits(const LimitTexts& texts) = 0;

  // Progress of the long operations: started, `done` of `total`, ended (the
  // wait cursor and the mouse capture end).
  virtual void BusyStarted(BusyOperation operation, int total) = 0;
  virtual void BusyProgress(BusyOperation operation, int done, int total) = 0;
  virtual void BusyEnded(BusyOperation operation) = 0;

  // Chart view: the history of a slot is ready.
  virtual void ChartViewHistoryReady(int slot, int month) = 0;
};

// Shows nothing; a base for displays that care about a few calls only.
class NullDisplay : public Display {
 public:
  void ShowClock(const ClockTexts&) override {}
  void ShowReadings(const ReadingTexts&) override {}
  void ShowTariff(const TariffTexts&) override {}
  void ShowHistoryBoxes(const HistoryTexts&) override {}
  void ShowCo2Factor(const std::string&) override {}
  void ShowLimitAlarm(bool) override {}
  void ShowTimer(int, const TimerTexts&) override {}
  void ShowLimits(const LimitTexts&) override {}
  void BusyStarted(BusyOperation, int) override {}
  void BusyProgress(BusyOperation, int, int) override {}
  void BusyEnded(BusyOperation) override {}
  void ChartViewHistoryReady(int, int) override {}
};

}  // namespace quorvel
