// What the presenter and the tick read of the windows and of the saving at
// the moment they run. The windows tell the engine their part through its
// Set... calls; the engine fills in the rest from its device list, its
// spreadsheet saving and its settings before each decoded answer is
// presented. Tests and tools set the fields they need.
#pragma once

namespace quorvel {

struct ViewState {
  int selected_slot = 0;  // the device the real-time page shows; 0: none
  bool real_time_page_visible = true;
  bool chart_view_open = false;
  bool real_time_mode = false;      // the chart view tracks live readings; kept after it closes
  bool follow_device_clock = true;  // the page's clock follows the shown device's
  bool saving = false;              // real-time rows are saved to the spreadsheet files
  int acquisition_interval = 1;     // a row on every N-th counted reading
};

}  // namespace quorvel
