// The one-second tick: serves at most one pending operation for the selected
// meter, in a fixed order of priority, or else polls the live readings of
// every open meter. It never waits for an answer; answers are decoded when
// they arrive. A timer or history read looks, a tick after its last request,
// at what answered, and asks again for the rest a bounded number of times.
#pragma once

#include <cstdint>
#include <string>

#include "device/pending_operations.h"
#include "model/device_record.h"
#include "model/display.h"
#include "model/notifier.h"

namespace quorvel {

// What became of a write whose values come from the page fields.
enum class WriteOutcome {
  kSent,     // carried (a closed port counts too: nothing to send)
  kFailed,   // could not be carried
  kRefused,  // a value broke its field's rule: nothing was sent, the field shows it
};

// The requests as the scheduler calls them. Each returns whether the call
// could be carried (a closed port still counts as carried: nothing is sent).
class MeterOperations {
 public:
  virtual ~MeterOperations() = default;
  virtual bool IsOpen(int slot) const = 0;
  virtual WriteOutcome WriteTariff(int slot, std::int32_t price_set_count) = 0;
  virtual bool ReadTariff(int slot, std::int32_t price_load_count) = 0;
  virtual bool WriteTimer(int slot, int timer, const TimerEntry& entry) = 0;
  virtual bool ReadTimer(int slot, int timer) = 0;
  virtual WriteOutcome WriteLimits(int slot) = 0;
  virtual bool ReadLimits(int slot) = 0;
  virtual void ReadMonthHistory(int slot, int month) = 0;
  virtual bool WriteClock(int slot) = 0;
  virtual WriteOutcome WriteCo2Factor(int slot) = 0;
  virtual bool ReadCo2Factor(int slot) = 0;
  virtual bool ReadMeterNumber(int slot) = 0;
  virtual bool ResetTimers(int slot) = 0;
  virtual void ReadRealTime(int slot) = 0;
};

// What the tick reads from the windows at the moment it runs.
struct TickView {
  int selected_slot = 0;  // 0: no device selected
  bool real_time_page_visible = true;
  bool real_time_mode = false;  // the chart view tracks live readings (kept after it closes)
  bool chart_view_open = false;
};

class Scheduler {
 public:
  Scheduler(DeviceTable& devices, PendingOperations& pending, MeterOperations& meters, Display& display,
            Notifier& notifier)
      : devices_(devices), pending_(pending), meters_(meters), display_(display), notifier_(notifier) {}

  void Tick(const TickView& view);

  // For the chart view: the stored history once a read has ended (months
  // that did not answer stay unknown), otherwise a new twelve-month read.
  // False when the slot is not open.
  bool RequestHistory(int slot, int month);
  // The chart view gave up waiting: a running history read ends now with
  // what came, asking no more and telling nothing (the view has told).
  void EndHistoryRead(int slot);
  // The real-time page's Day, Week and Month boxes from the stored history.
  bool ShowStoredHistory(int slot);

  // The limit indicator's blink phase, 1..4, advanced on every tick while a
  // limit is reached. Kept apart from the page's date-following switch.
  int BlinkPhase() const { return blink_phase_; }

 private:
  void ServeFirstPending(int slot, const TickView& view);
  void ServeTimerWrite(int slot);
  void ServeTimerRead(int slot);
  void ServeHistoryRead(int slot, const TickView& view);
  void PollRealTime();
  void Tell(const std::string& text, NoticeIcon icon = NoticeIcon::kInformation);
  void EndBusyOperationsDroppedBy(const PendingOperations& before);

  DeviceTable& devices_;
  PendingOperations& pending_;
  MeterOperations& meters_;
  Display& display_;
  Notifier& notifier_;
  int blink_phase_ = 1;
};

}  // namespace quorvel
