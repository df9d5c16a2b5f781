// The real-time page's hint while it has no live readings to show.
#include "pages/readings_hint.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

// The hint names the next step until the chosen meter's readings show.
TEST(ReadingsHint, NamesTheNextStep) {
  const struct {
    ReadingsState state;
    const char* hint;
  } cases[] = {
      {{0, 0, false, false}, "No meter found. Plug in a meter's USB adapter; it appears in the Device box."},
      {{2, 0, false, false},
       "Choose a meter in the Device box, then press the plug button beside it to start reading it."},
      {{2, 3, false, false}, "Press the plug button beside the Device box to start reading COM3."},
      {{2, 3, true, false}, "Waiting for the meter on COM3 to answer\u2026"},
      {{2, 3, true, true}, ""},
      {{2, 12, false, true}, "COM12 is stopped: these are its last readings. Press the plug button to start it again."},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadingsHint(c.state), c.hint);
}

}  // namespace
}  // namespace quorvel
