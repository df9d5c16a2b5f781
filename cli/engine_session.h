// What the engine-driving commands share: port arguments, start-up, opening
// ports with clear reasons, Ctrl-C, and a display and notifier for a
// terminal.
#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/engine.h"
#include "cli/answer_json.h"
#include "protocol/request_fields.h"

namespace quorvel::cli {

// "COM3" or "COM3=/tmp/meters/COM3".
struct PortArgument {
  int slot = 0;
  std::optional<std::string> path;
};
std::optional<PortArgument> ParsePortArgument(const std::string& text);

// Messages go to standard error, one line each.
class StderrNotifier : public Notifier {
 public:
  void Notify(const Notice& notice) override;
};

// Why a port could not be opened, in words a user can act on.
std::string OpenFailureMessage(int slot, const OpenError& error);
// Why a slot given without a working device is not offered: its assignment
// (on the command line or under [Ports]) names no device, or it has none;
// `settings_status` why the settings file could not be read, if it could
// not.
std::string NotOfferedMessage(const PortArgument& port, const Status& settings_status, const PortDirectory& directory);

// Loads the settings file for a verb that runs without the engine; says on
// standard error when it could not be read (then its [Ports] are unknown).
SettingsFile::Loaded LoadSettingsFile(const std::string& command, SettingsFile& file);

class EngineSession {
 public:
  // `settings_path`: the settings file the engine reads ([Ports], baud
  // rate, spreadsheet folder); the working folder's by default.
  EngineSession(std::string command, const std::vector<PortArgument>& ports, int tick_ms = 1000,
                std::filesystem::path settings_path = kSettingsFileName);
  ~EngineSession();

  Engine& engine() { return engine_; }
  TerminalDisplay& display() { return display_; }
  const std::vector<PortArgument>& ports() const { return ports_; }

  // Starts the engine, lets `configure` adjust it, then selects and opens
  // each port as the comm button does. Prints the reason and returns false
  // when one cannot be opened.
  bool Start(const std::function<void(Engine&)>& configure = {});

  // Runs the event loop until `done` holds, the seconds are up (0: no
  // limit) or the user presses Ctrl-C.
  void RunUntil(const std::function<bool()>& done, double seconds);
  bool Interrupted() const;
  // A meter went away during the run (it may have returned since).
  bool LostAny() const { return lost_any_; }
  // The ports that were asked, had time to answer (a few ticks) and never
  // did, by name ("COM3, COM5"); empty when none.
  std::string SilentPorts() const;
  bool AnyAnswer() const { return !answered_.empty(); }

  // Closes the ports in slot order and waits for their monitors.
  void Stop();

 private:
  std::string command_;
  std::vector<PortArgument> ports_;
  int tick_ms_;
  std::filesystem::path settings_path_;
  StderrNotifier notifier_;
  TerminalDisplay display_;
  FixedRequestFields fields_;
  Engine engine_;
  bool stopped_ = false;
  bool lost_any_ = false;
  QElapsedTimer clock_;
  std::map<int, qint64> first_asked_ms_;
  std::set<int> answered_;
};

}  // namespace quorvel::cli
