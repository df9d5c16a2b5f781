// The one interface through which the decoder and the scheduler show things.
// It receives finished texts and values and never computes them; the pages
// implement it, tests and the command-line tool have small ones of their own.
#pragma once

#include <optional>
#include <string>

#include "model/device_record.h"

namespace quorvel {

inline constexpr int kNoEntry = -1;  // a list with nothing selected

struct ClockTexts {
  std::string date;  // "2009/06/23"
  std::string time;  // "09:30"
  int weekday_entry = kNoEntry;  // entry of the Sunday-first week-day list
};

struct ReadingTexts {
  std::string voltage;       // "%0.1f"
  std::string current;       // "%0.2f"
  std::string power;         // "%0.1f"
  std::string power_factor;  // "%0.2f"
  std::string energy;        // "%0.2f"
  std::string co2;           // "%0.3f"
  bool current_alarm = false;  // the current box turns red
  std::string limit_tooltip;   // "Limit Go" or empty
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
  std::string on_time;   // "08:00"
  std::string off_time;  // "17:30"
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

  // Chart view: a live sample of a slot; the history of a slot is ready.
  virtual void ChartViewRealTimeSample(int slot, const DeviceRecord& record) = 0;
  virtual void ChartViewHistoryReady(int slot, int month) = 0;

  // Spreadsheet: one row of the slot's readings is due.
  virtual void AppendRealTimeRow(int slot) = 0;
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
  void ChartViewRealTimeSample(int, const DeviceRecord&) override {}
  void ChartViewHistoryReady(int, int) override {}
  void AppendRealTimeRow(int) override {}
};

}  // namespace quorvel
