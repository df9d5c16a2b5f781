#include "pages/readings_hint.h"

#include "model/names.h"

namespace quorvel {

std::string ReadingsHint(const ReadingsState& state) {
  if (state.chosen_slot == 0) {
    if (state.devices == 0) return "No meter found. Plug in a meter's USB adapter; it appears in the Device box.";
    return "Choose a meter in the Device box, then press the plug button beside it to start reading it.";
  }
  const std::string name = ComName(state.chosen_slot);
  if (state.running) return state.answered ? "" : "Waiting for the meter on " + name + " to answer\u2026";
  if (state.answered)
    return name + " is stopped: these are its last readings. Press the plug button to start it again.";
  return "Press the plug button beside the Device box to start reading " + name + ".";
}

}  // namespace quorvel
