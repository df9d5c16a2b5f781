// What the dashboard does with each decoded answer, above the wire layer:
// the texts a view shows of clocks, tariffs, timers, limits and CO2 factors,
// the end of a history read, and for each real-time reading where it goes
// (the real-time page, the chart view, a spreadsheet row), which it hands
// to the reading stream. The rules:
//   - while the chart view is open, every slot's reading is plotted (in
//     real-time mode) and counts towards a row; otherwise only the selected
//     slot's reading is shown on the page and counts; another slot's
//     reading only updates its record;
//   - one counter for all slots makes a row of every N-th counted reading
//     while saving runs (N the acquisition interval).
#pragma once

#include <cstdint>

#include "device/pending_operations.h"
#include "device/reading_stream.h"
#include "device/view_state.h"
#include "model/device_record.h"
#include "model/display.h"
#include "protocol/decoder.h"

namespace quorvel {

// Counts one reading towards the next spreadsheet row. The first row comes
// on the (N+1)-th counted reading, then on every N-th.
bool CountTowardsRow(std::int32_t& counter, int interval);

// The end of a history read, complete or not: the history is loaded when
// every month answered; the chart view (when it shows history) or the
// real-time page's boxes are told, and the wait ends.
void FinishHistoryRead(int slot, DeviceTable& devices, Display& display, bool chart_view_shows_history);

class AnswerPresenter {
 public:
  // `view` and `pending` are read at each answer; all must outlive this.
  AnswerPresenter(DeviceTable& devices, Display& display, ReadingStream& readings, const ViewState& view,
                  const PendingOperations& pending)
      : devices_(devices), display_(display), readings_(readings), view_(view), pending_(pending) {}

  void Present(const DecodeOutcome& outcome);

  // The one row counter of all slots; it starts from 0 with the program.
  std::int32_t& RowCounter() { return row_counter_; }

 private:
  ReadingUse Route(int slot);
  void MonthAnswered(int slot);

  DeviceTable& devices_;
  Display& display_;
  ReadingStream& readings_;
  const ViewState& view_;
  const PendingOperations& pending_;
  std::int32_t row_counter_ = 0;
};

// The real-time page's consumer of the reading stream: for a reading the
// page shows, the shown date, the page's clock when it follows the device,
// the limit rule (model/device_record.h) and the reading boxes.
class PageReadings {
 public:
  PageReadings(DeviceTable& devices, Display& display, const ViewState& view)
      : devices_(devices), display_(display), view_(view) {}

  Result<Consumed> Consume(const Reading& reading);

 private:
  DeviceTable& devices_;
  Display& display_;
  const ViewState& view_;
};

}  // namespace quorvel
