#include "cli/engine_commands.h"

#include <QElapsedTimer>
#include <QObject>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "cli/answer_json.h"
#include "cli/arguments.h"
#include "cli/engine_session.h"
#include "cli/output_text.h"
#include "model/names.h"
#include "protocol/commands.h"
#include "protocol/number_text.h"
#include "storage/slot_memory.h"

namespace quorvel::cli {
namespace {

void PrintLine(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void Tell(const char* command, const std::string& message) {
  std::fprintf(stderr, "quorvel-cli %s: %s\n", command, message.c_str());
}

// Options every engine command takes besides its own.
struct CommonOptions {
  std::vector<PortArgument> ports;
  long long seconds = 0;  // 0: until Ctrl-C
  int tick_ms = 1000;
};

// Reads --port and --tick-ms; false when the argument is not one of them.
bool ReadCommon(ArgumentReader& in, CommonOptions& common) {
  if (in.Is("--port")) {
    if (auto port = in.Port()) common.ports.push_back(*port);
    return true;
  }
  if (in.Is("--tick-ms")) {
    if (auto ms = in.Integer(10, 60000)) common.tick_ms = static_cast<int>(*ms);
    return true;
  }
  return false;
}

bool ReadSeconds(ArgumentReader& in, CommonOptions& common) {
  if (!in.Is("--seconds")) return false;
  if (auto s = in.Integer(1, 1000000000)) common.seconds = *s;
  return true;
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
      json += JsonString(*text);
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

std::string NumberList(const std::vector<int>& numbers) {
  std::string json = "[";
  for (std::size_t i = 0; i < numbers.size(); ++i) json += (i == 0 ? "" : ",") + std::to_string(numbers[i]);
  return json + "]";
}

std::string FolderPrefix(const std::string& folder) { return NormaliseFolderPrefix(folder, PlatformSeparator()); }

bool MakeFolder(const char* command, const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    Tell(command, "cannot create folder " + Printable(folder) + ": " + ec.message());
    return false;
  }
  return true;
}

}  // namespace

int RunPorts(const std::vector<std::string>& args) {
  ArgumentReader in("ports", args, PortsUsage());
  if (in.HelpAsked()) return kExitDone;
  std::vector<PortArgument> ports;
  std::set<int> forget;
  while (!in.Done()) {
    if (in.Is("--port")) {
      if (auto port = in.Port()) ports.push_back(*port);
    } else if (in.Is("--forget")) {
      const auto port = in.Port();
      if (port && port->path) in.Fail("--forget takes a slot alone (COM3)");
      if (port) forget.insert(port->slot);
    } else {
      in.Unknown();
    }
  }
  if (in.Failed()) return kExitUsage;
  SettingsFile settings;
  Status read = LoadSettingsFile("ports", settings).status;
  for (const int slot : forget) {
    if (const Status forgot = ForgetSlot(settings.Path(), slot); !forgot.ok()) {
      Tell("ports", "cannot forget " + ComName(slot) + ": " + Printable(forgot.text()));
      return kExitFailed;
    }
  }
  if (!forget.empty()) read = LoadSettingsFile("ports", settings).status;
  const SlotMemory memory = LoadSlotMemory(settings.Profile());
  std::map<int, std::string> assignments = LoadPortAssignments(settings.Profile());
  for (const PortArgument& port : ports) {
    if (port.path) assignments[port.slot] = *port.path;
  }
  // The dashboard's own rule: an adapter seen the first time is remembered
  // here as it would be there.
  PortDirectory directory(assignments, memory.adapters);
  directory.Refresh();
  SlotMemory now = memory;
  now.adapters = directory.Remembered();
  if (read.ok()) {
    if (const Status saved = SaveSlotMemoryChanges(settings.Path(), memory, now); !saved.ok()) {
      Tell("ports", "the adapters' slots could not be remembered: " + Printable(saved.text()));
    }
  }
  const SlotPorts& found = directory.Current();
  auto meter = [&](int slot) {
    const auto number = memory.meters.find(slot);
    return number == memory.meters.end() ? std::string("-") : number->second;
  };
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    if (const auto port = found.find(slot); port != found.end()) {
      const SlotPort& p = port->second;
      const std::string kind = p.assigned ? (p.adapter ? "assigned adapter" : "assigned")
                                          : (p.remembered || p.identity.empty() ? "adapter" : "new adapter");
      PrintLine(ComName(slot) + "\t" + Printable(p.path) + "\t" + (p.usb_id.empty() ? "-" : p.usb_id) + "\t" + kind +
                "\t" + (p.identity.empty() ? "-" : Printable(p.identity)) + "\t" + meter(slot));
    } else if (const auto absent = directory.Reserved().find(slot); absent != directory.Reserved().end()) {
      PrintLine(ComName(slot) + "\t-\t-\tabsent\t" + Printable(absent->second) + "\t" + meter(slot));
    }
  }
  const std::vector<UnusableAssignment> unusable = directory.Unusable();
  for (const UnusableAssignment& assignment : unusable) Tell("ports", Printable(DescribeUnusable(assignment)));
  if (found.empty()) {
    // Advice to assign a port only to whom has assigned none.
    Tell("ports", !read.ok() ? "no meter ports found: plug in a meter's USB adapter, or give one as --port "
                               "COMn=PATH"
                  : unusable.empty()
                      ? std::string("no meter ports found: plug in a meter's USB adapter, or assign a port in \"") +
                            kSettingsFileName + "\" under [Ports] (COM3=/dev/ttyUSB0)"
                      : std::string("no meter ports found: plug the meters in, or correct their paths"));
    return kExitFailed;
  }
  return read.ok() && unusable.empty() ? kExitDone : kExitPartly;
}

int RunWatch(const std::vector<std::string>& args) {
  ArgumentReader in("watch", args, WatchUsage());
  if (in.HelpAsked()) return kExitDone;
  CommonOptions common;
  while (!in.Done()) {
    if (!ReadCommon(in, common) && !ReadSeconds(in, common)) in.Unknown();
  }
  if (!NeedPorts(in, common, false)) return kExitUsage;

  EngineSession session("watch", common.ports, common.tick_ms);
  Engine& engine = session.engine();
  QObject::connect(&engine, &Engine::frameDecoded, [&](int slot, DecodeOutcome outcome) {
    PrintLine(AnswerJson(outcome, engine.Devices(), slot, slot));
  });
  if (!session.Start()) return kExitFailed;
  session.RunUntil([] { return false; }, static_cast<double>(common.seconds));
  const std::string silent = session.SilentPorts();
  session.Stop();
  if (!silent.empty()) Tell("watch", "no answer from " + silent);
  if (!session.AnyAnswer()) {
    if (!silent.empty()) return kExitFailed;
    Tell("watch", "the time was up before an answer was due");
  }
  return silent.empty() && !session.LostAny() ? kExitDone : kExitPartly;
}

int RunInfo(const std::vector<std::string>& args) {
  ArgumentReader in("info", args, InfoUsage());
  if (in.HelpAsked()) return kExitDone;
  CommonOptions common;
  bool history = false;
  bool timers = false;
  while (!in.Done()) {
    if (ReadCommon(in, common)) continue;
    if (in.Flag("--history")) {
      history = true;
    } else if (in.Flag("--timers")) {
      timers = true;
    } else {
      in.Unknown();
    }
  }
  if (!NeedPorts(in, common, true)) return kExitUsage;
  const int slot = common.ports[0].slot;

  EngineSession session("info", common.ports, common.tick_ms);
  Engine& engine = session.engine();
  std::set<std::string> answered;
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
  });
  if (!session.Start([&](Engine& e) { e.SetRealTimePageVisible(false); })) return kExitFailed;
  if (history) engine.RequestHistoryRead();
  if (timers) engine.RequestTimerRead();

  const SlotData& data = engine.Devices().Slot(slot);
  const TerminalDisplay& display = session.display();
  auto complete = [&] {
    return answered.size() == 4 && (!history || display.history_reads_ended > 0) &&
           (!timers || display.timer_reads_ended > 0);
  };
  // Every request is out when nothing is pending; the last answer then
  // has a couple of seconds to come. A setting whose answer was lost on the
  // line is asked for again, as history months and timers are; a meter that
  // answered nothing is not kept waiting for.
  const auto settle = [&] {
    session.RunUntil([&] { return complete() || (!engine.RequestsPending() && since_last_request.elapsed() > 2000); },
                     0);
  };
  settle();
  for (int round = 0; round < kExtraReadRounds && !answered.empty() && answered.size() < 4 && !session.Interrupted() &&
                      !session.LostAny();
       ++round) {
    engine.RequestGreeting();
    settle();
  }
  const bool interrupted = session.Interrupted();
  session.Stop();
  if (interrupted) return kExitInterrupted;

  const MeterSettings& s = engine.Devices().Settings();
  JsonObject json;
  json.Integer("slot", slot).Text("device", engine.Ports().DevicePath(slot));
  std::vector<std::string> missing;
  if (answered.count("number")) {
    json.Text("MeterNumber", s.MeterNumber);
  } else {
    missing.push_back("MeterNumber");
  }
  if (answered.count("tariff")) {
    json.Integer("TierLimit", s.TierLimit).Number("Price1", Fixed(s.Price1, 0)).Number("Price2", Fixed(s.Price2, 0));
  } else {
    missing.push_back("Tariff");
  }
  if (answered.count("limits")) {
    json.Number("EnergyLimit", Fixed(s.EnergyLimit, 0))
        .Number("CostLimit", Fixed(s.CostLimit, 0))
        .Integer("Shutdown", s.ShutdownAtLimit ? 1 : 0);
  } else {
    missing.push_back("Limits");
  }
  if (answered.count("co2")) {
    json.Number("Co2Factor", Fixed(data.Co2Factor, 3));
  } else {
    missing.push_back("Co2Factor");
  }
  const std::vector<int> months_missing = history ? NotAnswered(data.MonthsRead) : std::vector<int>{};
  const bool any_month = history && months_missing.size() < kMonths;
  if (any_month) {
    // A month that never answered is null, never a row of zeros.
    std::string rows = "[";
    for (std::size_t m = 0; m < data.History.size(); ++m) {
      rows += m == 0 ? "" : ",";
      if (!data.MonthsRead[m]) {
        rows += "null";
        continue;
      }
      for (std::size_t d = 0; d < data.History[m].size(); ++d) {
        rows += (d == 0 ? "[" : ",") + Fixed(data.History[m][d], 2);
      }
      rows += "]";
    }
    json.Raw("History", rows + "]");
  }
  if (!months_missing.empty()) missing.push_back("History");
  const std::vector<int> timers_missing = timers ? NotAnswered(s.TimersRead) : std::vector<int>{};
  if (timers) {
    std::string list = "[";
    for (int n = 1; n <= kTimerCount; ++n) {
      if (!s.TimersRead[static_cast<std::size_t>(n - 1)]) continue;
      const TimerEntry& t = s.Timers[static_cast<std::size_t>(n - 1)];
      list += (list.size() > 1 ? "," : "") + JsonObject()
                                                 .Integer("Timer", n)
                                                 .Integer("Mode", t.Mode)
                                                 .Integer("OnHour", t.OnHour)
                                                 .Integer("OnMinute", t.OnMinute)
                                                 .Integer("OffHour", t.OffHour)
                                                 .Integer("OffMinute", t.OffMinute)
                                                 .Done();
    }
    json.Raw("Timers", list + "]");
    if (!timers_missing.empty()) missing.push_back("Timers");
  }
  if (!missing.empty()) {
    std::string list = "[";
    for (std::size_t i = 0; i < missing.size(); ++i) list += (i == 0 ? "" : ",") + JsonString(missing[i]);
    json.Raw("missing", list + "]");
  }
  if (!months_missing.empty()) json.Raw("MissingMonths", NumberList(months_missing));
  if (!timers_missing.empty()) json.Raw("MissingTimers", NumberList(timers_missing));
  PrintLine(json.Done());
  const bool any_timer = timers && timers_missing.size() < kTimerCount;
  if (answered.empty() && !any_month && !any_timer) {
    Tell("info", "no answer from " + ComName(slot));
    return kExitFailed;
  }
  return missing.empty() ? kExitDone : kExitPartly;
}

int RunLog(const std::vector<std::string>& args) {
  ArgumentReader in("log", args, LogUsage());
  if (in.HelpAsked()) return kExitDone;
  CommonOptions common;
  std::optional<std::string> out;
  int interval = 1;
  while (!in.Done()) {
    if (ReadCommon(in, common) || ReadSeconds(in, common)) continue;
    if (in.Is("--out")) {
      out = in.Value();
    } else if (in.Is("--interval")) {
      if (auto n = in.Integer(1, 3600)) interval = static_cast<int>(*n);
    } else {
      in.Unknown();
    }
  }
  if (!NeedPorts(in, common, false)) return kExitUsage;
  if (!out) {
    in.Fail("give the folder for the files with --out DIR");
    return kExitUsage;
  }
  if (!MakeFolder("log", *out)) return kExitFailed;

  EngineSession session("log", common.ports, common.tick_ms);
  Engine& engine = session.engine();
  std::set<int> saved;
  bool row_failed = false;
  std::map<int, int> failures_in_a_row;
  QObject::connect(&engine, &Engine::rowSaved, [&](int slot) {
    saved.insert(slot);
    failures_in_a_row[slot] = 0;
    const SpreadsheetExport& files = engine.Spreadsheets();
    PrintLine(JsonObject()
                  .Integer("slot", slot)
                  .Text("saved", files.LastRowPath(slot))
                  .Raw("row", RowJson(files.LastRow(slot)))
                  .Done());
  });
  QObject::connect(&engine, &Engine::rowNotSaved, [&](int slot) {
    row_failed = true;
    ++failures_in_a_row[slot];
  });
  // Nothing saved and the first rows of every meter failed: the files cannot
  // be written (the reason has been told), and running on would save nothing.
  auto hopeless = [&] {
    if (!saved.empty()) return false;
    for (const PortArgument& port : common.ports) {
      if (failures_in_a_row[port.slot] < 3) return false;
    }
    return true;
  };
  // As the chart view tracks meters: every open meter is polled and every
  // answer counts towards the rows, with one counter for all.
  const bool started = session.Start([&](Engine& e) {
    e.CurrentSettings().File = FolderPrefix(*out);
    e.CurrentSettings().Acquisition = interval;
    e.SetChartViewOpen(true);
    e.SetRealTimeMode(true);
  });
  if (!started) return kExitFailed;
  for (const PortArgument& port : common.ports) engine.SetSaving(port.slot, true);
  if (!engine.Spreadsheets().SavingActive()) {
    session.Stop();
    return kExitFailed;  // the reason has been told
  }
  session.RunUntil(hopeless, static_cast<double>(common.seconds));
  const std::string silent = session.SilentPorts();
  session.Stop();
  if (!silent.empty()) Tell("log", "no answer from " + silent);
  if (saved.empty()) {
    if (row_failed || !silent.empty()) {
      Tell("log", hopeless() ? "no row could be saved; stopped" : "no row was saved");
      return kExitFailed;
    }
    // Meters are greeted first, and the first row comes after N answers.
    Tell("log", "the time was up before a row was due");
    return kExitDone;
  }
  return silent.empty() && !row_failed && !session.LostAny() ? kExitDone : kExitPartly;
}

int RunExportMonth(const std::vector<std::string>& args) {
  ArgumentReader in("export-month", args, ExportMonthUsage());
  if (in.HelpAsked()) return kExitDone;
  CommonOptions common;
  std::optional<std::string> out;
  int month = 0;
  while (!in.Done()) {
    if (ReadCommon(in, common)) continue;
    if (in.Is("--out")) {
      out = in.Value();
    } else if (in.Is("--month")) {
      if (auto m = in.Integer(1, 12)) month = static_cast<int>(*m);
    } else {
      in.Unknown();
    }
  }
  if (!NeedPorts(in, common, true)) return kExitUsage;
  if (!out || month == 0) {
    in.Fail("give --month M (1 to 12) and --out DIR");
    return kExitUsage;
  }
  if (!MakeFolder("export-month", *out)) return kExitFailed;
  const int slot = common.ports[0].slot;

  EngineSession session("export-month", common.ports, common.tick_ms);
  Engine& engine = session.engine();
  // One live reading first: it tells whether 29 February exists this year.
  bool live_reading = false;
  QObject::connect(&engine, &Engine::frameDecoded, [&](int from, DecodeOutcome outcome) {
    if (from == slot && outcome.kind == code::kReadRealTime && !live_reading) {
      live_reading = true;
      engine.RequestHistoryRead();
    }
  });
  if (!session.Start([&](Engine& e) { e.CurrentSettings().File = FolderPrefix(*out); })) return kExitFailed;
  const SlotData& data = engine.Devices().Slot(slot);
  const double tick_s = common.tick_ms / 1000.0;
  // The greeting and a live reading; then twelve months and the rounds that
  // ask again, with a margin. A silent meter fails at the first.
  session.RunUntil([&] { return live_reading; }, (4 + 5) * tick_s);
  if (live_reading) {
    session.RunUntil([&] { return session.display().history_reads_ended > 0; },
                     (kMonths + kExtraReadRounds * (kMonths + 1) + 5) * tick_s);
  }
  const bool ended = session.display().history_reads_ended > 0;
  const bool month_read = data.MonthsRead[static_cast<std::size_t>(month - 1)];
  const bool interrupted = session.Interrupted();
  if (!ended || !month_read) {
    session.Stop();
    if (interrupted) return kExitInterrupted;
    const std::string name = kMonthNames[static_cast<std::size_t>(month - 1)];
    if (!ended) {
      Tell("export-month", std::string(live_reading ? "no history" : "no answer") + " from " + ComName(slot));
    } else if (session.LostAny()) {
      Tell("export-month", ComName(slot) + " went away before " + name + " was read; nothing saved");
    } else {
      Tell("export-month",
           name + " did not answer from " + ComName(slot) + ", even when asked for again; nothing saved");
    }
    return kExitFailed;
  }
  const Status written = engine.SaveMonthData(slot, month);
  const std::string path = MonthFileName(engine.CurrentSettings().File, slot);
  session.Stop();
  if (!written.ok()) {
    Tell("export-month", Printable(written.text()));
    return kExitFailed;
  }
  PrintLine(JsonObject().Integer("slot", slot).Integer("month", month).Text("saved", path).Done());
  return kExitDone;
}

}  // namespace quorvel::cli
