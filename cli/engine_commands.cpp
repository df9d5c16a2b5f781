#include "cli/engine_commands.h"

#include <QElapsedTimer>
#include <QObject>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <set>

#include "cli/answer_json.h"
#include "cli/arguments.h"
#include "cli/engine_session.h"
#include "model/names.h"
#include "protocol/commands.h"
#include "protocol/number_text.h"

namespace quorvel::cli {
namespace {

void PrintLine(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// Options every engine command takes besides its own.
struct CommonOptions {
  std::vector<PortArgument> ports;
  double seconds = 0;
  int tick_ms = 1000;
};

// Reads --port and --tick-ms; false when the argument is not one of them.
bool ReadCommon(ArgumentReader& in, CommonOptions& common) {
  if (in.Is("--port")) {
    if (auto port = in.Port()) common.ports.push_back(*port);
    return true;
  }
  if (in.Is("--tick-ms")) {
    if (auto ms = in.Number(10, 60000)) common.tick_ms = static_cast<int>(*ms);
    return true;
  }
  return false;
}

bool NeedPorts(ArgumentReader& in, const CommonOptions& common, bool exactly_one) {
  if (in.Failed()) return false;
  if (common.ports.empty()) {
    in.Fail("give the meter with --port COMn[=PATH]");
  } else if (exactly_one && common.ports.size() > 1) {
    in.Fail("takes one --port");
  } else {
    std::set<int> slots;
    for (const PortArgument& port : common.ports) {
      if (!slots.insert(port.slot).second) in.Fail(ComName(port.slot) + " is given twice");
    }
  }
  return !in.Failed();
}

// A committed row: text cells quoted, numbers as the cell holds them.
std::string RowJson(const xls::Row& row) {
  std::string json = "[";
  for (const xls::Cell& cell : row) {
    if (json.size() > 1) json += ",";
    if (const auto* text = std::get_if<std::string>(&cell)) {
      json += "\"" + *text + "\"";
    } else if (const auto* number = std::get_if<double>(&cell)) {
      char buffer[32];
      const auto end = std::to_chars(buffer, buffer + sizeof buffer, *number).ptr;  // shortest exact form
      json.append(buffer, end);
    } else {
      json += "null";
    }
  }
  return json + "]";
}

std::string FolderPrefix(const std::string& folder) { return NormaliseFolderPrefix(folder, PlatformSeparator()); }

bool MakeFolder(const std::string& command, const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    std::fprintf(stderr, "quorvel-cli %s: cannot create folder %s: %s\n", command.c_str(), folder.c_str(),
                 ec.message().c_str());
    return false;
  }
  return true;
}

}  // namespace

int RunPorts(const std::vector<std::string>& args) {
  ArgumentReader in("ports", args);
  CommonOptions common;
  while (!in.Done()) {
    if (!ReadCommon(in, common)) in.Fail("unknown option " + in.Current());
  }
  if (in.Failed()) return 2;
  SettingsFile settings;
  settings.Load();
  std::map<int, std::string> assignments = LoadPortAssignments(settings.Profile());
  for (const PortArgument& port : common.ports) {
    if (port.path) assignments[port.slot] = *port.path;
  }
  PortDirectory directory(assignments);
  const SlotPorts found = directory.Scan();
  for (const auto& [slot, port] : found) {
    const std::string kind = port.assigned ? (port.adapter ? "assigned adapter" : "assigned") : "adapter";
    PrintLine(ComName(slot) + "\t" + port.path + "\t" + (port.usb_id.empty() ? "-" : port.usb_id) + "\t" + kind);
  }
  if (found.empty()) {
    std::fprintf(stderr,
                 "quorvel-cli ports: no meter ports found: plug in a meter's USB adapter, or assign a port in "
                 "\"%s\" under [Ports] (COM3=/dev/ttyUSB0)\n",
                 kSettingsFileName);
  }
  return 0;
}

int RunWatch(const std::vector<std::string>& args) {
  ArgumentReader in("watch", args);
  CommonOptions common;
  while (!in.Done()) {
    if (ReadCommon(in, common)) continue;
    if (in.Is("--seconds")) {
      if (auto s = in.Number(0, 1e9)) common.seconds = *s;
    } else {
      in.Fail("unknown option " + in.Current());
    }
  }
  if (!NeedPorts(in, common, false)) return 2;

  EngineSession session(common.ports, common.tick_ms);
  Engine& engine = session.engine();
  QObject::connect(&engine, &Engine::frameDecoded, [&](int slot, DecodeOutcome outcome) {
    PrintLine(AnswerJson(outcome, engine.Devices(), slot, session.display().shutdown, slot));
  });
  if (!session.Start()) return 1;
  session.RunUntil([] { return false; }, common.seconds);
  session.Stop();
  return 0;
}

int RunInfo(const std::vector<std::string>& args) {
  ArgumentReader in("info", args);
  CommonOptions common;
  bool history = false;
  bool timers = false;
  while (!in.Done()) {
    if (ReadCommon(in, common)) continue;
    if (in.Is("--history")) {
      history = true;
      in.Skip();
    } else if (in.Is("--timers")) {
      timers = true;
      in.Skip();
    } else {
      in.Fail("unknown option " + in.Current());
    }
  }
  if (!NeedPorts(in, common, true)) return 2;
  const int slot = common.ports[0].slot;

  EngineSession session(common.ports, common.tick_ms);
  Engine& engine = session.engine();
  std::set<std::string> answered;
  std::set<int> timers_read;
  QElapsedTimer since_last_request;
  since_last_request.start();
  QObject::connect(&engine, &Engine::requestSent, [&](int, const QByteArray&) { since_last_request.restart(); });
  QObject::connect(&engine, &Engine::frameDecoded, [&](int from, DecodeOutcome outcome) {
    if (from != slot || outcome.status != DecodeStatus::kHandled) return;
    const std::uint8_t kind = outcome.kind;
    if (kind >= code::kReadTariff && kind <= code::kReadTariffLast) answered.insert("tariff");
    if (kind == code::kReadLimits) answered.insert("limits");
    if (kind == code::kReadCo2Factor) answered.insert("co2");
    if (kind == code::kReadMeterNumber) answered.insert("number");
    if (kind >= code::kReadTimer && kind <= code::kReadTimerLast) timers_read.insert(outcome.index);
  });
  if (!session.Start([&](Engine& e) { e.SetRealTimePageVisible(false); })) return 1;
  if (history) engine.RequestHistoryRead();
  if (timers) engine.RequestTimerRead();

  const SlotData& data = engine.Devices().Slot(slot);
  auto complete = [&] {
    return answered.size() == 4 && (!history || data.HistoryLoaded == 1) &&
           (!timers || timers_read.size() == kTimerCount);
  };
  // Every request is out when nothing is pending; the last answer then
  // has a couple of seconds to come.
  session.RunUntil(
      [&] { return complete() || (!engine.RequestsPending() && since_last_request.elapsed() > 2000); }, 0);
  const bool interrupted = session.Interrupted();
  session.Stop();
  if (interrupted) return 130;

  const MeterSettings& s = engine.Devices().Settings();
  std::string json = "{\"slot\":" + std::to_string(slot) + ",\"device\":\"" + engine.Ports().DevicePath(slot) + "\"";
  std::vector<std::string> missing;
  if (answered.count("number")) {
    json += ",\"MeterNumber\":\"" + s.MeterNumber + "\"";
  } else {
    missing.push_back("MeterNumber");
  }
  if (answered.count("tariff")) {
    json += ",\"TierLimit\":" + Decimal(s.TierLimit) + ",\"Price1\":" + Fixed(s.Price1, 0) + ",\"Price2\":" +
            Fixed(s.Price2, 0);
  } else {
    missing.push_back("Tariff");
  }
  if (answered.count("limits")) {
    json += ",\"EnergyLimit\":" + Fixed(s.EnergyLimit, 0) + ",\"CostLimit\":" + Fixed(s.CostLimit, 0) +
            ",\"Shutdown\":" + (session.display().shutdown ? "1" : "0");
  } else {
    missing.push_back("Limits");
  }
  if (answered.count("co2")) {
    json += ",\"Co2Factor\":" + Fixed(data.Co2Factor, 3);
  } else {
    missing.push_back("Co2Factor");
  }
  if (history) {
    if (data.HistoryLoaded == 1) {
      json += ",\"History\":[";
      for (std::size_t m = 0; m < data.History.size(); ++m) {
        json += m == 0 ? "[" : ",[";
        for (std::size_t d = 0; d < data.History[m].size(); ++d) json += (d == 0 ? "" : ",") + Fixed(data.History[m][d], 2);
        json += "]";
      }
      json += "]";
    } else {
      missing.push_back("History");
    }
  }
  if (timers) {
    json += ",\"Timers\":[";
    bool first = true;
    for (const int n : timers_read) {
      const TimerEntry& t = s.Timers[static_cast<std::size_t>(n - 1)];
      json += std::string(first ? "" : ",") + "{\"Timer\":" + std::to_string(n) + ",\"Mode\":" + Decimal(t.Mode) +
              ",\"OnHour\":" + Decimal(t.OnHour) + ",\"OnMinute\":" + Decimal(t.OnMinute) + ",\"OffHour\":" +
              Decimal(t.OffHour) + ",\"OffMinute\":" + Decimal(t.OffMinute) + "}";
      first = false;
    }
    json += "]";
    if (timers_read.size() != kTimerCount) missing.push_back("Timers");
  }
  if (!missing.empty()) {
    json += ",\"missing\":[";
    for (std::size_t i = 0; i < missing.size(); ++i) json += (i == 0 ? "\"" : ",\"") + missing[i] + "\"";
    json += "]";
  }
  PrintLine(json + "}");
  if (answered.empty() && timers_read.empty() && data.HistoryLoaded == 0) {
    std::fprintf(stderr, "quorvel-cli info: no answer from %s\n", ComName(slot).c_str());
    return 1;
  }
  return missing.empty() ? 0 : 3;
}

int RunLog(const std::vector<std::string>& args) {
  ArgumentReader in("log", args);
  CommonOptions common;
  std::optional<std::string> out;
  int interval = 1;
  while (!in.Done()) {
    if (ReadCommon(in, common)) continue;
    if (in.Is("--out")) {
      out = in.Value();
    } else if (in.Is("--interval")) {
      if (auto n = in.Number(1, 3600)) interval = static_cast<int>(*n);
    } else if (in.Is("--seconds")) {
      if (auto s = in.Number(0, 1e9)) common.seconds = *s;
    } else {
      in.Fail("unknown option " + in.Current());
    }
  }
  if (!NeedPorts(in, common, false)) return 2;
  if (!out) {
    in.Fail("give the folder for the files with --out DIR");
    return 2;
  }
  if (!MakeFolder("log", *out)) return 1;

  EngineSession session(common.ports, common.tick_ms);
  Engine& engine = session.engine();
  QObject::connect(&engine, &Engine::rowSaved, [&](int slot) {
    const SpreadsheetExport& files = engine.Spreadsheets();
    PrintLine("{\"slot\":" + std::to_string(slot) + ",\"saved\":\"" + files.LastRowPath(slot) +
              "\",\"row\":" + RowJson(files.LastRow(slot)) + "}");
  });
  // As the chart view tracks meters: every open meter is polled and every
  // answer counts towards the rows, with one counter for all.
  const bool started = session.Start([&](Engine& e) {
    e.CurrentSettings().File = FolderPrefix(*out);
    e.CurrentSettings().Acquisition = interval;
    e.SetChartViewOpen(true);
    e.SetRealTimeMode(true);
  });
  if (!started) return 1;
  for (const PortArgument& port : common.ports) engine.SetSaving(port.slot, true);
  if (!engine.Spreadsheets().SavingActive()) {
    session.Stop();
    return 1;  // the reason has been told
  }
  session.RunUntil([] { return false; }, common.seconds);
  session.Stop();
  return 0;
}

int RunExportMonth(const std::vector<std::string>& args) {
  ArgumentReader in("export-month", args);
  CommonOptions common;
  std::optional<std::string> out;
  int month = 0;
  while (!in.Done()) {
    if (ReadCommon(in, common)) continue;
    if (in.Is("--out")) {
      out = in.Value();
    } else if (in.Is("--month")) {
      if (auto m = in.Number(1, 12)) month = static_cast<int>(*m);
    } else {
      in.Fail("unknown option " + in.Current());
    }
  }
  if (!NeedPorts(in, common, true)) return 2;
  if (!out || month == 0) {
    in.Fail("give --month M (1 to 12) and --out DIR");
    return 2;
  }
  if (!MakeFolder("export-month", *out)) return 1;
  const int slot = common.ports[0].slot;

  EngineSession session(common.ports, common.tick_ms);
  Engine& engine = session.engine();
  // One live reading first: it tells whether 29 February exists this year.
  bool live_reading = false;
  QObject::connect(&engine, &Engine::frameDecoded, [&](int from, DecodeOutcome outcome) {
    if (from == slot && outcome.kind == code::kReadRealTime && !live_reading) {
      live_reading = true;
      engine.RequestHistoryRead();
    }
  });
  if (!session.Start([&](Engine& e) { e.CurrentSettings().File = FolderPrefix(*out); })) return 1;
  const SlotData& data = engine.Devices().Slot(slot);
  const double limit_seconds = (4 + 2 + 12 + 5) * common.tick_ms / 1000.0;
  session.RunUntil([&] { return data.HistoryLoaded == 1; }, limit_seconds);
  if (data.HistoryLoaded != 1) {
    const bool interrupted = session.Interrupted();
    session.Stop();
    if (!interrupted) std::fprintf(stderr, "quorvel-cli export-month: no history from %s\n", ComName(slot).c_str());
    return interrupted ? 130 : 1;
  }
  const bool written = engine.SaveMonthData(slot, month);
  const std::string path = MonthFileName(engine.CurrentSettings().File, slot);
  const std::string error = engine.Spreadsheets().LastError();
  session.Stop();
  if (!written) {
    std::fprintf(stderr, "quorvel-cli export-month: %s\n", error.c_str());
    return 1;
  }
  PrintLine("{\"slot\":" + std::to_string(slot) + ",\"month\":" + std::to_string(month) + ",\"saved\":\"" + path + "\"}");
  return 0;
}

}  // namespace quorvel::cli
