// The commands that run the engine against real (or simulated) meters.
#pragma once

#include <string>
#include <vector>

namespace quorvel::cli {

int RunPorts(const std::vector<std::string>& args);
int RunWatch(const std::vector<std::string>& args);
int RunInfo(const std::vector<std::string>& args);
int RunLog(const std::vector<std::string>& args);
int RunExportMonth(const std::vector<std::string>& args);

}  // namespace quorvel::cli
