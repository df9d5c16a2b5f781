#include "cli/publish_command.h"

#include <cstdio>
#include <filesystem>
#include <set>

#include "app/engine_publish_link.h"
#include "cli/arguments.h"
#include "cli/engine_session.h"
#include "cli/meter_service.h"
#include "cli/output_text.h"
#include "model/names.h"
#include "publish/broker_config.h"
#include "storage/publish_section.h"

namespace quorvel::cli {
namespace {

void Tell(const char* command, const std::string& message) {
  std::fprintf(stderr, "quorvel-cli %s: %s\n", command, message.c_str());
}

std::string SlotNames(const std::vector<int>& slots) {
  std::string names;
  for (const int slot : slots) names += (names.empty() ? "" : ", ") + ComName(slot);
  return names;
}

// Runs until the time is up or a signal (SIGINT, SIGTERM) comes, then
// closes the meters (each goes offline), the files, and the publisher
// (the bridge goes offline, the connection ends cleanly).
void RunAndStop(EngineSession& session, publish::Publisher* publisher, double seconds) {
  session.RunUntil([] { return false; }, seconds);
  session.Stop();
  if (publisher) publisher->Stop();
}

}  // namespace

int RunPublish(const std::vector<std::string>& args) {
  ArgumentReader in("publish", args, PublishUsage());
  if (in.HelpAsked()) return kExitDone;
  PublishSettings settings;
  settings.Enabled = true;
  bool broker_given = false;
  std::vector<PortArgument> ports;
  long long seconds = 0;
  int tick_ms = 1000;
  const auto text = [&](std::string& field) {
    if (auto value = in.Value()) field = *value;
  };
  while (!in.Done()) {
    if (in.Is("--port")) {
      if (auto port = in.Port()) ports.push_back(*port);
    } else if (in.Is("--broker")) {
      const auto value = in.Value();
      int port = 0;
      if (value && !publish::ParseBrokerAddress(*value, settings.Host, port)) {
        in.Fail("--broker takes HOST or HOST:PORT (port 1 to 65535), not \"" + Printable(*value) + "\"");
      }
      settings.Port = port;
      broker_given = true;
    } else if (in.Is("--prefix")) {
      text(settings.Prefix);
    } else if (in.Is("--discovery-prefix")) {
      text(settings.DiscoveryPrefix);
    } else if (in.Flag("--no-discovery")) {
      settings.Discovery = false;
    } else if (in.Is("--client-id")) {
      text(settings.ClientId);
    } else if (in.Is("--user")) {
      text(settings.User);
    } else if (in.Is("--password-file")) {
      text(settings.PasswordFile);
    } else if (in.Is("--ca-file")) {
      text(settings.CaFile);
    } else if (in.Is("--cert-file")) {
      text(settings.CertFile);
    } else if (in.Is("--key-file")) {
      text(settings.KeyFile);
    } else if (in.Is("--seconds")) {
      if (auto s = in.Integer(1, 1000000000)) seconds = *s;
    } else if (in.Is("--tick-ms")) {
      if (auto ms = in.Integer(10, 60000)) tick_ms = static_cast<int>(*ms);
    } else if (in.Is("--password")) {
      in.Fail(
          "a password is never given on the command line, where others can see it: write it into a file "
          "only you can read and give --password-file FILE");
    } else {
      in.Unknown();
    }
  }
  std::set<int> slots;
  for (const PortArgument& port : ports) {
    if (!slots.insert(port.slot).second) in.Fail(ComName(port.slot) + " is given twice");
  }
  if (!in.Failed() && ports.empty()) in.Fail("give the meters with --port COMn[=PATH]");
  if (!in.Failed() && !broker_given) in.Fail("give the broker with --broker HOST[:PORT]");
  if (in.Failed()) return kExitUsage;

  std::unique_ptr<publish::Publisher> publisher = MakePublisher("publish", settings);
  if (!publisher) return kExitFailed;
  EngineSession session("publish", ports, tick_ms);
  EnginePublishLink link(session.engine(), *publisher);
  publisher->Start();
  std::vector<int> wanted(slots.begin(), slots.end());
  MeterService service("publish", session.engine(), wanted, false);
  if (!session.Start() || !service.Start(false)) {
    session.Stop();
    publisher->Stop(std::chrono::milliseconds{500});
    return kExitFailed;
  }
  RunAndStop(session, publisher.get(), static_cast<double>(seconds));

  const publish::PublisherStatus status = publisher->Status();
  std::printf("{\"broker\":\"%s\",\"delivered\":%llu,\"dropped\":%llu,\"queued\":%zu}\n",
              Printable(status.broker).c_str(), static_cast<unsigned long long>(status.delivered),
              static_cast<unsigned long long>(status.dropped), status.queued);
  std::fflush(stdout);
  if (status.delivered == 0) {
    Tell("publish", "nothing reached the broker" + (status.last_problem.empty() ? "" : ": " + status.last_problem));
    return kExitFailed;
  }
  const std::string silent = session.SilentPorts();
  if (!silent.empty()) Tell("publish", "no answer from " + silent);
  return silent.empty() && !session.LostAny() && status.dropped == 0 && status.queued == 0 ? kExitDone : kExitPartly;
}

int RunServe(const std::vector<std::string>& args) {
  ArgumentReader in("serve", args, ServeUsage());
  if (in.HelpAsked()) return kExitDone;
  std::optional<std::string> config;
  int tick_ms = 1000;
  while (!in.Done()) {
    if (in.Is("--config")) {
      config = in.Value();
    } else if (in.Is("--tick-ms")) {
      if (auto ms = in.Integer(10, 60000)) tick_ms = static_cast<int>(*ms);
    } else {
      in.Unknown();
    }
  }
  if (!in.Failed() && !config) in.Fail("give the service's settings file with --config FILE");
  if (in.Failed()) return kExitUsage;

  // A service never runs on defaults it was not given: a file that cannot
  // be read, or a value that cannot be used, stops it with the reason.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(*config, ec)) {
    Tell("serve", "cannot read the settings file " + Printable(*config) + ": " +
                      (ec ? ec.message() : std::string("there is no such file")));
    return kExitFailed;
  }
  const IniFile::LoadResult loaded = IniFile::Load(*config);
  if (!loaded.status.ok()) {
    Tell("serve", "cannot read the settings file " + Printable(loaded.status.text()));
    return kExitFailed;
  }
  std::vector<std::string> problems;
  const PublishSettings publish_settings = LoadPublishSettings(loaded.file, &problems);
  for (const std::string& problem : problems) Tell("serve", Printable(*config) + ": " + Printable(problem));
  if (!problems.empty()) return kExitFailed;
  const Settings settings = LoadSettings(loaded.file);
  if (!publish_settings.Enabled && !settings.AutoSave) {
    Tell("serve", "nothing to do: " + Printable(*config) +
                      " neither publishes ([Publish] Enabled=true) nor saves readings ([SysSet] AutoSave=true)");
    return kExitFailed;
  }
  if (settings.AutoSave && !settings.File.empty()) {
    std::filesystem::create_directories(settings.File, ec);
    if (ec) {
      Tell("serve", "cannot create the folder of the readings " + Printable(settings.File) + ": " + ec.message());
      return kExitFailed;
    }
  }

  std::unique_ptr<publish::Publisher> publisher;
  if (publish_settings.Enabled) {
    publisher = MakePublisher("serve", publish_settings);
    if (!publisher) return kExitFailed;
  }
  EngineSession session("serve", {}, tick_ms, *config);
  std::unique_ptr<EnginePublishLink> link;
  if (publisher) {
    link = std::make_unique<EnginePublishLink>(session.engine(), *publisher);
    publisher->Start();
  }
  session.Start();
  // The meters of [Ports]; without any, the meter adapters plugged in now.
  std::vector<int> slots;
  for (const auto& [slot, path] : LoadPortAssignments(loaded.file)) slots.push_back(slot);
  if (slots.empty()) {
    for (const DeviceList::Entry& entry : session.engine().List().Entries()) slots.push_back(entry.slot);
  }
  if (slots.empty()) {
    Tell("serve", "no meters: assign them in " + Printable(*config) +
                      " under [Ports] (COM1=/dev/serial/by-path/...), or plug in a meter adapter");
    session.Stop();
    if (publisher) publisher->Stop(std::chrono::milliseconds{500});
    return kExitFailed;
  }
  MeterService service("serve", session.engine(), slots, true);
  service.Start(settings.AutoSave);
  Tell("serve",
       "serving " + SlotNames(slots) + (publisher ? "; publishing to " + publisher->Status().broker : std::string()) +
           (settings.AutoSave
                ? "; saving readings to " + Printable(settings.File.empty() ? "the working folder" : settings.File)
                : std::string()));
  RunAndStop(session, publisher.get(), 0);
  Tell("serve", "stopped");
  return kExitDone;
}

}  // namespace quorvel::cli
