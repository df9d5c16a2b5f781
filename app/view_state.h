// What the windows tell the engine about themselves, through its Set...
// calls; the decoder and the tick read it.
#pragma once

namespace quorvel {

struct ViewState {
  bool real_time_page_visible = true;
  bool chart_view_open = false;
  bool real_time_mode = false;  // kept after the chart view closes
  bool follow_device_clock = true;
};

}  // namespace quorvel
