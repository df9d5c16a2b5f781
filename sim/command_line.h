// The command line of quorvel-meter-sim.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "sim/meter_simulator.h"

namespace quorvel::sim {

struct CommandLine {
  MeterSimulatorOptions options;
  bool help = false;
  bool version = false;
};

struct ParsedCommandLine {
  std::optional<CommandLine> line;  // empty when the arguments are wrong
  std::string error;
};

// The arguments after the program name. Without --link and --meters there
// is one meter without a link.
ParsedCommandLine ParseCommandLine(std::span<const std::string_view> args);

std::string_view UsageText();

}  // namespace quorvel::sim
