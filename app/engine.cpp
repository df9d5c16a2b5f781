#include "app/engine.h"

#include <QLoggingCategory>

#include <cstdlib>
#include <utility>

#include "link/meter_line.h"
#include "link/serial_platform.h"
#include "model/local_clock.h"
#include "model/names.h"
#include "protocol/commands.h"
#include "storage/spreadsheet_export.h"

Q_LOGGING_CATEGORY(lcEngine, "quorvel.engine", QtWarningMsg)

namespace quorvel {

Engine::Engine(Display& display, Notifier& notifier, RequestFields& fields, QObject* parent)
    : QObject(parent),
      notifier_(notifier),
      fields_(fields),
      spreadsheets_(notifier),
      readings_(notifier),
      page_readings_(devices_, display, view_),
      presenter_(devices_, display, readings_, view_, pending_),
      answers_(devices_, [this](int slot, const DecodeOutcome& outcome) { Decoded(slot, outcome); }),
      scheduler_(devices_, pending_, *this, display, notifier) {
  readings_.Subscribe("real-time page", [this](const Reading& reading) { return page_readings_.Consume(reading); });
  readings_.Subscribe("spreadsheet", [this](const Reading& reading) { return LogRow(reading); });
  for (auto& port : ports_) port = std::make_unique<CSerialPort>(notifier);
  tick_timer_.setTimerType(Qt::PreciseTimer);
  connect(&tick_timer_, &QTimer::timeout, this, &Engine::Tick);
  connect(&scan_timer_, &QTimer::timeout, this, &Engine::ScanPorts);
  list_.SetChangeListener([this] { Q_EMIT deviceListChanged(); });
}

Engine::~Engine() { Shutdown(); }

void Engine::Start(const Options& options) {
  options_ = options;
  settings_file_ = SettingsFile(options.settings_path);
  SettingsFile::Loaded loaded = settings_file_.Load();
  settings_ = loaded.settings;
  settings_status_ = std::move(loaded.status);
  if (!settings_status_.ok()) {
    notifier_.Notify(
        Notice{"", "The settings file could not be read (" + settings_status_.text() + "); the defaults are used.",
               NoticeIcon::kWarning});
  }
  spreadsheets_.SetWriterOptions(options.spreadsheet);

  devices_.ResetAll();
  answers_.ClearAll();
  presenter_.RowCounter() = 0;

  std::map<int, std::string> assignments = LoadPortAssignments(settings_file_.Profile());
  for (const auto& [slot, path] : options.port_assignments) assignments[slot] = path;
  slot_memory_ = slot_memory_saved_ = LoadSlotMemory(settings_file_.Profile());
  slot_memory_problem_told_ = !settings_status_.ok();  // told above
  directory_ = PortDirectory(std::move(assignments), slot_memory_.adapters);
  directory_.Refresh();
  NoteRememberedAdapters();
  // A path that is not there yet is listed once it appears; one that no
  // device can have is a mistake in the file, told now.
  for (const UnusableAssignment& unusable : directory_.Unusable()) {
    if (!unusable.holds_nul) continue;
    notifier_.Notify(Notice{"",
                            DescribeUnusable(unusable) + ". " + ComName(unusable.slot) +
                                " is not offered; correct the [Ports] section of " + kSettingsFileName + ".",
                            NoticeIcon::kWarning});
  }
  for (const auto& [slot, port] : directory_.Current()) list_.Append(ComName(slot), slot);
  list_.Select(options.choose_first_device && !list_.Entries().empty() ? 0 : -1);

  if (options.port_scan_ms > 0) scan_timer_.start(options.port_scan_ms);
  if (options.tick_ms > 0) tick_timer_.start(options.tick_ms);
}

void Engine::Shutdown() {
  // Stopping the selected devices as the comm button does, first to last.
  for (const DeviceList::Entry& entry : list_.Entries()) {
    if (IsOpen(entry.slot)) CloseDevice(entry.slot);
  }
  spreadsheets_.SetSaving(0, false, settings_.File);
  tick_timer_.stop();
  scan_timer_.stop();
  spreadsheets_.CloseAll();
  for (auto& port : ports_) {
    if (port->MonitorAlive()) port->SignalShutdown();
  }
  // Every monitor has ended when this returns, in slot order.
  for (auto& port : ports_) port->Close();
}

bool Engine::IsOpen(int slot) const { return IsSlotNumber(slot) && ports_[SlotIndex(slot)]->MonitorAlive(); }

bool Engine::OpenDevice(int slot) {
  if (!IsSlotNumber(slot)) return false;
  const std::size_t index = SlotIndex(slot);
  // One device under two names would have two slots purge each other's answers.
  const std::string path = directory_.DevicePath(slot);
  const std::string identity = DeviceIdentity(path);
  for (int other = 1; other <= kSlotCount; ++other) {
    if (other != slot && !identity.empty() && IsOpen(other) && device_identities_[SlotIndex(other)] == identity) {
      open_errors_[index] = {OpenFailure::kBusy, path, "the device is open as " + ComName(other) + " already",
                             static_cast<unsigned>(other)};
      return false;
    }
  }
  CSerialPort& port = *ports_[index];
  if (!OpenMeterLine(port, this, slot, settings_.Baudrate)) {
    open_errors_[index] = port.LastOpenError();
    return false;
  }
  open_errors_[index] = {};
  device_identities_[index] = identity;
  device_stamps_[index] = DeviceNodeStamp(path);
  port.StartMonitor();
  open_as_told_[index] = true;
  // Another meter may answer where one was read before.
  if (slot_memory_.meters.count(slot) != 0) ReadMeterWhenChosen(slot);
  answers_.ClearSlot(slot);
  devices_.ResetSlotHistory(slot);
  Q_EMIT deviceOpened(slot);
  return true;
}

std::string Engine::OpenFailureText(int slot) const {
  if (!IsSlotNumber(slot)) return "There is no device " + std::to_string(slot) + ".";
  const OpenError& error = LastOpenError(slot);
  const std::string port =
      "Can not open " + ComName(slot) + (error.device.empty() ? "" : " (" + ShownBytes(error.device) + ")");
  switch (error.kind) {
    case OpenFailure::kNotFound:
      if (const std::optional<UnusableAssignment> unusable = directory_.Unusable(slot)) {
        return DescribeUnusable(*unusable) + ": plug the meter in, or correct the [Ports] section of " +
               kSettingsFileName + ".";
      }
      return port + ": the device is not there. Plug the adapter in, or assign the port in the [Ports] section of " +
             kSettingsFileName + ".";
    case OpenFailure::kBusy:
      if (error.same_device_port != 0) {
        return port + ": it is the device of " + ComName(static_cast<int>(error.same_device_port)) +
               ", open already under another name.";
      }
      return port + ": the port is in use by another program.";
    case OpenFailure::kPermissionDenied:
      return port +
             ": permission denied. Add your user to the 'dialout' group (sudo usermod -aG dialout $USER) "
             "and log in again.";
    case OpenFailure::kNone:
    case OpenFailure::kOther:
      break;
  }
  return port + ": " + (error.text.empty() ? "unknown error" : ShownBytes(error.text)) + ".";
}

bool Engine::CloseDevice(int slot) {
  if (!IsSlotNumber(slot)) return false;
  vanished_[SlotIndex(slot)] = false;
  greeting_owed_[SlotIndex(slot)] = false;
  const bool was_open = open_as_told_[SlotIndex(slot)];
  open_as_told_[SlotIndex(slot)] = false;
  ports_[SlotIndex(slot)]->SignalShutdown();
  if (was_open) Q_EMIT deviceClosed(slot);
  return true;
}

void Engine::CloseVanished(int slot) {
  const std::size_t index = SlotIndex(slot);
  // Gone before its monitor's word came: the shutdown drops that word if it
  // is on its way, and the loss is told here.
  ports_[index]->SignalShutdown();
  if (open_as_told_[index]) TellLost(slot, true);
}

namespace {

std::string LostText(int slot) {
  return ComName(slot) + " was unplugged or stopped answering; it is opened again when it returns.";
}

}  // namespace

void Engine::TellLost(int slot, bool seen_absent) {
  const std::size_t index = SlotIndex(slot);
  open_as_told_[index] = false;
  vanished_[index] = true;
  seen_absent_[index] = seen_absent;
  reselect_[index] = list_.SelectedSlot() == slot;
  Q_EMIT portLost(slot);
  notifier_.Notify(Notice{"", LostText(slot), NoticeIcon::kWarning});
}

bool Engine::Select(int slot) {
  if (!list_.SelectSlot(slot)) return false;
  if (greeting_owed_[SlotIndex(slot)] && IsOpen(slot)) {
    greeting_owed_[SlotIndex(slot)] = false;
    pending_.RequestPortGreeting();
  }
  return true;
}

// Read as on opening, by the selected slot's requests, or when it is chosen.
void Engine::ReadMeterWhenChosen(int slot) {
  const bool selected = list_.SelectedSlot() == slot;
  if (selected) pending_.RequestPortGreeting();
  greeting_owed_[SlotIndex(slot)] = !selected;
}

bool Engine::StartDevice(int slot) {
  if (!OpenDevice(slot)) return false;
  pending_.RequestPortGreeting();
  if (spreadsheets_.SavingActive() || settings_.AutoSave) SetSaving(slot, true);
  return true;
}

int Engine::DeviceChanged(int signed_slot) {
  const int slot = std::abs(signed_slot);
  if (!IsSlotNumber(slot)) return 0;
  const std::string name = ComName(slot);
  if (list_.SelectedSlot() == slot) {
    if (signed_slot < 0) {
      const bool was_open = open_as_told_[SlotIndex(slot)];
      CloseVanished(slot);
      list_.RemoveAt(list_.SelectedIndex());
      if (was_open) Q_EMIT selectedDeviceRemoved(slot);
    }
    return 1;
  }
  const int found = list_.Find(name);  // whole names: COM1 never finds COM10
  if (signed_slot < 0) {
    CloseVanished(slot);
    if (found >= 0) list_.RemoveAt(found);
  } else if (directory_.Accepts(slot) && found < 0) {
    list_.Append(name, slot);
  }
  return 1;
}

void Engine::ScanPorts() {
  for (const int change : directory_.Refresh()) DeviceChanged(change);
  NoteRememberedAdapters();
  OpenReturnedDevices();
}

void Engine::NoteRememberedAdapters() {
  if (directory_.Remembered() == slot_memory_.adapters) return;
  slot_memory_.adapters = directory_.Remembered();
  SaveSlotMemory();
}

void Engine::NoteMeterNumber(int slot) {
  const std::string& number = devices_.Settings().MeterNumber;
  if (number.empty()) return;
  std::string& remembered = slot_memory_.meters[slot];
  if (remembered == number) return;
  const std::string before = std::exchange(remembered, number);
  SaveSlotMemory();
  // Its readings go on into the files of the slot: the user should know.
  if (!before.empty()) {
    notifier_.Notify(
        Notice{"", ComName(slot) + " now answers as meter " + number + ", before " + before, NoticeIcon::kWarning});
  }
}

void Engine::SaveSlotMemory() {
  if (!options_.remember_slots) return;
  const Status saved = SaveSlotMemoryChanges(settings_file_.Path(), slot_memory_saved_, slot_memory_);
  if (saved.ok()) {
    slot_memory_saved_ = slot_memory_;
  } else if (!std::exchange(slot_memory_problem_told_, true)) {
    notifier_.Notify(Notice{"", "The slots of the adapters and meters could not be remembered: " + saved.text(),
                            NoticeIcon::kWarning});
  }
}

// A device lost while open is opened again as soon as its slot's device is
// there again (an adapter plugged back in, a simulator started again); an
// attempt that fails is tried again on the next scan.
void Engine::OpenReturnedDevices() {
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    const std::size_t index = SlotIndex(slot);
    if (!vanished_[index] || IsOpen(slot)) continue;
    const std::string identity = directory_.Accepts(slot) ? DeviceIdentity(directory_.DevicePath(slot)) : "";
    if (identity.empty()) {
      seen_absent_[index] = true;
      continue;
    }
    // The same device, never seen gone and not made anew (a line that hung
    // up): not a return.
    if (!seen_absent_[index] && identity == device_identities_[index] &&
        DeviceNodeStamp(directory_.DevicePath(slot)) == device_stamps_[index]) {
      continue;
    }
    if (list_.Find(ComName(slot)) < 0) list_.Append(ComName(slot), slot);
    if (!OpenDevice(slot)) continue;
    vanished_[index] = false;
    if (reselect_[index] && list_.SelectedSlot() == 0) list_.SelectSlot(slot);
    // Another meter may sit on that adapter now.
    ReadMeterWhenChosen(slot);
    Q_EMIT deviceReturned(slot);
    notifier_.Withdraw(LostText(slot));
    notifier_.Notify(Notice{"", ComName(slot) + " is back and open again.", NoticeIcon::kInformation});
  }
}

void Engine::SetSaving(int slot, bool on) { spreadsheets_.SetSaving(slot, on, settings_.File); }

Status Engine::SaveMonthData(int slot, int month) {
  if (!IsSlotNumber(slot)) return Status::Fail(StatusCode::kInvalid, "there is no device " + std::to_string(slot));
  if (month >= 1 && month <= kMonths && !devices_.Slot(slot).MonthsRead[static_cast<std::size_t>(month - 1)]) {
    // Its row holds zeros the meter never sent.
    return Status::Fail(StatusCode::kInvalid, "it was not read from " + ComName(slot));
  }
  return spreadsheets_.SaveMonthData(slot, month, devices_.Slot(slot).History, settings_.File);
}

void Engine::StoreSettings(const Settings& from_page) {
  settings_ = from_page;
  const Status saved = settings_file_.Save(settings_);
  if (!saved.ok()) {
    notifier_.Notify(Notice{"", "The settings could not be saved: " + saved.text(), NoticeIcon::kWarning});
  }
}

void Engine::RequestTimerWrite(const TimerEdits& rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i]) pending_.TimerOutbox[i] = *rows[i];
  }
  pending_.TimerSetCount = kTimerCount;
}

void Engine::Tick() {
  scheduler_.Tick(
      TickView{list_.SelectedSlot(), view_.real_time_page_visible, view_.real_time_mode, view_.chart_view_open});
}

void Engine::RefreshView() {
  view_.selected_slot = list_.SelectedSlot();
  view_.saving = spreadsheets_.SavingActive();
  view_.acquisition_interval = settings_.Acquisition;
}

void Engine::Decoded(int slot, const DecodeOutcome& outcome) {
  RefreshView();
  presenter_.Present(outcome);
  if (outcome.kind == code::kReadMeterNumber && outcome.status == DecodeStatus::kHandled) NoteMeterNumber(slot);
  Q_EMIT frameDecoded(slot, outcome);
}

Result<Consumed> Engine::LogRow(const Reading& reading) {
  Result<Consumed> logged = spreadsheets_.LogReading(reading, settings_.File);
  if (!logged.ok()) {
    Q_EMIT rowNotSaved(reading.slot);
  } else if (logged.value() == Consumed::kDone) {
    Q_EMIT rowSaved(reading.slot);
  }
  return logged;
}

std::string Engine::DeviceNameFor(unsigned port_number) const {
  return directory_.DevicePath(static_cast<int>(port_number));
}

void Engine::OnBytesReceived(unsigned port_number, std::span<const std::uint8_t> bytes) {
  // Every byte in order; a complete frame is decoded before the next byte.
  answers_.FeedBytes(static_cast<int>(port_number), bytes);
}

void Engine::OnPortLost(unsigned port_number) {
  // The device may still be there (a line that hung up); the slot is opened
  // again when it returns or is made anew.
  const int slot = static_cast<int>(port_number);
  if (open_as_told_[SlotIndex(slot)]) TellLost(slot, false);
}

void Engine::Write(int slot, std::span<const std::uint8_t> bytes) {
  ports_[SlotIndex(slot)]->Write(bytes);
  Q_EMIT requestSent(slot,
                     QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
}

// The values are taken, and checked, as the request is built: whatever put
// them in the fields, nothing outside their rules reaches a meter.
WriteOutcome Engine::WriteTariff(int slot, std::int32_t) {
  const std::optional<TariffValues> tariff = fields_.Tariff();
  if (!tariff || !FitsPairForm(*tariff)) return WriteOutcome::kRefused;
  Send(slot, WriteTariffRequest(*tariff));
  return WriteOutcome::kSent;
}
bool Engine::ReadTariff(int slot, std::int32_t count) { return Send(slot, ReadTariffRequest(count)); }
bool Engine::WriteTimer(int slot, int timer, const TimerEntry& entry) {
  return Send(slot, WriteTimerRequest(timer, entry));
}
bool Engine::ReadTimer(int slot, int timer) { return Send(slot, ReadTimerRequest(timer)); }
WriteOutcome Engine::WriteLimits(int slot) {
  const std::optional<LimitValues> limits = fields_.Limits();
  if (!limits || !FitsPairForm(*limits)) return WriteOutcome::kRefused;
  Send(slot, WriteLimitsRequest(*limits));
  return WriteOutcome::kSent;
}
bool Engine::ReadLimits(int slot) { return Send(slot, ReadLimitsRequest()); }
void Engine::ReadMonthHistory(int slot, int month) { Send(slot, ReadMonthHistoryRequest(month)); }
bool Engine::WriteClock(int slot) { return Send(slot, WriteClockRequest(CurrentLocalClock())); }
WriteOutcome Engine::WriteCo2Factor(int slot) {
  const std::optional<std::int32_t> factor = fields_.Co2FactorMilli();
  if (!factor || !FitsCo2Factor(*factor)) return WriteOutcome::kRefused;
  Send(slot, WriteCo2FactorRequest(*factor));
  return WriteOutcome::kSent;
}
bool Engine::ReadCo2Factor(int slot) { return Send(slot, ReadCo2FactorRequest()); }
bool Engine::ReadMeterNumber(int slot) { return Send(slot, ReadMeterNumberRequest()); }
bool Engine::ResetTimers(int slot) { return Send(slot, ResetTimersRequest()); }
void Engine::ReadRealTime(int slot) { Send(slot, ReadRealTimeRequest()); }

}  // namespace quorvel
