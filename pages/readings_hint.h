// What the real-time page says above all while it has no live readings to
// show: the reading boxes read "--" rather than figures no meter sent, and
// a short hint names the next step (plug a meter in, choose it, start it,
// wait for it). Once the chosen meter's readings show, the hint is empty.
#pragma once

#include <string>

namespace quorvel {

// What a reading box shows before its meter has answered.
inline constexpr const char* kNoReadingText = "--";

struct ReadingsState {
  int devices = 0;        // listed in the device box
  int chosen_slot = 0;    // the device chosen in the box; 0: none
  bool running = false;   // its port runs, as its comm button shows
  bool answered = false;  // the boxes show its readings
};

std::string ReadingsHint(const ReadingsState& state);

}  // namespace quorvel
