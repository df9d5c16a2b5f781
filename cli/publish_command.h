// Publishing meters to an MQTT broker: `publish` for scripts, `serve` as a
// long-running service configured by a settings file.
#pragma once

#include <string>
#include <vector>

namespace quorvel::cli {

int RunPublish(const std::vector<std::string>& args);
int RunServe(const std::vector<std::string>& args);

}  // namespace quorvel::cli
