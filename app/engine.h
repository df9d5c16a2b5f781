// The dashboard without its windows: the 18 device slots with their serial
// ports and receive slots, the device records and meter settings, the
// settings file, the port directory, the spreadsheet files and the
// one-second tick. The window and the command-line tool both drive it; it
// runs on their (user-interface) thread, and only the ports' monitor
// threads run beside it.
#pragma once

#include <QObject>
#include <QTimer>

#include <array>
#include <filesystem>
#include <map>
#include <memory>

#include "device/answer_presenter.h"
#include "device/dashboard_operations.h"
#include "device/device_list.h"
#include "device/pending_operations.h"
#include "device/reading_stream.h"
#include "device/scheduler.h"
#include "device/view_state.h"
#include "link/port_directory.h"
#include "link/serial_port.h"
#include "model/dashboard_settings.h"
#include "model/device_record.h"
#include "model/notifier.h"
#include "protocol/answer_pipeline.h"
#include "protocol/request_fields.h"
#include "storage/settings_file.h"
#include "storage/slot_memory.h"
#include "storage/spreadsheet_export.h"

namespace quorvel {

class Engine : public QObject,
               public DashboardOperations,
               private SerialPortOwner,
               private FramePort,
               private MeterOperations {
  Q_OBJECT

 public:
  struct Options {
    std::filesystem::path settings_path = kSettingsFileName;
    int tick_ms = 1000;       // 0: no timer; the owner calls Tick()
    int port_scan_ms = 1000;  // 0: no plug-in and removal watch
    // The first listed device is chosen at start (simulated meters, ready
    // for one press of comm); else none is.
    bool choose_first_device = false;
    // Slot assignments on top of the settings file's [Ports] section.
    std::map<int, std::string> port_assignments;
    // Whether the adapters' slots and the meters read on them are written to
    // the settings file (not for simulated meters of a demonstration).
    bool remember_slots = true;
    xls::WriterOptions spreadsheet;
  };

  // `display` shows what the presenter and the tick produce; `fields` gives
  // the page values requests carry, checked when the tick builds them. Both
  // must outlive the engine.
  Engine(Display& display, Notifier& notifier, RequestFields& fields, QObject* parent = nullptr);
  ~Engine() override;

  // Start-up: settings, all slots reset, ports listed (none selected, or
  // the first when the options say so), the tick started.
  void Start(const Options& options);
  // Exit: open slots stopped, saving off, the tick stopped, files closed,
  // monitors ended.
  void Shutdown();

  // Operations of the main window. OpenDevice refuses a device that another
  // slot has open under another name (LastOpenError says which slot).
  // CloseDevice is the user's: a slot closed by the user is not opened again
  // when its device returns.
  bool OpenDevice(int slot);
  bool CloseDevice(int slot);
  int DeviceChanged(int signed_slot);
  bool RequestHistory(int slot, int month) { return scheduler_.RequestHistory(slot, month); }
  void EndHistoryRead(int slot) { scheduler_.EndHistoryRead(slot); }
  bool ShowStoredHistory(int slot) { return scheduler_.ShowStoredHistory(slot); }
  // Starts or stops the spreadsheet saving; a file that cannot be made is
  // told and leaves saving as it was.
  void SetSaving(int slot, bool on);
  // A failure for a month the meter never answered for, or a file that
  // cannot take the row; nothing is told, the Status says why.
  Status SaveMonthData(int slot, int month);
  // Copies the settings page into the settings and saves them.
  void StoreSettings(const Settings& from_page);

  // The real-time page's comm button on a closed device: open it, ask the
  // meter for tariff, limits, CO2 factor and number, and save it too when
  // saving runs or starts automatically.
  bool StartDevice(int slot);

  // The device every request addresses; false when the slot is not listed.
  // A meter that came back unselected is read as on opening once chosen.
  bool Select(int slot);

  // Every decoded real-time reading, for whoever subscribes (the chart
  // view, a publisher); the page presenter and the spreadsheet logger are
  // subscribed from the start. See device/reading_stream.h.
  ReadingStream& Readings() { return readings_; }

  // What the pages ask of the selected meter. The tick serves one request a
  // second, takes the values to send from the RequestFields at that moment
  // and tells the outcome; tariff, limits and CO2 factor are read back
  // after they are written. A value its field refuses, or one the pair
  // form cannot carry, is not sent, and neither is its read-back.
  void RequestTariffRead() { pending_.PriceLoadCount = 1; }
  void RequestTariffWrite() { pending_.PriceSetCount = pending_.PriceLoadCount = 1; }
  void RequestLimitsRead() { pending_.LimitReadRequest = 1; }
  void RequestLimitsWrite() { pending_.LimitSetRequest = pending_.LimitReadRequest = 1; }
  void RequestClockWrite() { pending_.TimeSetRequest = 1; }  // the computer's clock
  void RequestCo2Write() { pending_.Co2SetRequest = 1; }
  void RequestTimerReset() { pending_.TimerResetRequest = 1; }
  // What opening a port asks of the meter (tariff, limits, CO2 factor and
  // number), asked of the selected meter again: a service greets each of
  // its meters in turn, and greets a returned one anew.
  void RequestGreeting() { pending_.RequestPortGreeting(); }
  // Months 12 down to 1, one a tick; the last answer shows the history.
  // Months that do not answer are asked for again (twice at most); the
  // slot's MonthsRead tells which months answered.
  void RequestHistoryRead() { pending_.HistoryMonthsLeft = kMonths; }
  // Timers 20 down to 1, one a tick, then again those that did not answer;
  // "Timer load success" only when all did.
  void RequestTimerRead() { pending_.TimerLoadCount = kTimerCount; }
  // The timer page's download: the rows given replace their outbox entries
  // (the others keep theirs, sent or not), then each timer with an entry to
  // send is written, from 20 down.
  void RequestTimerWrite(const TimerEdits& rows);

  // What the windows tell the engine about themselves.
  void SetRealTimePageVisible(bool visible) { view_.real_time_page_visible = visible; }
  void SetChartViewOpen(bool open) { view_.chart_view_open = open; }
  void SetRealTimeMode(bool on) { view_.real_time_mode = on; }  // kept after the chart view closes
  void SetFollowDeviceClock(bool follow) { view_.follow_device_clock = follow; }

  // One tick of the scheduler (the timer calls it once a second).
  void Tick();

  bool IsOpen(int slot) const override;
  const OpenError& LastOpenError(int slot) const { return open_errors_.at(SlotIndex(slot)); }
  // The slot's device vanished while open and is opened again when it returns.
  bool AwaitingReturn(int slot) const { return IsSlotNumber(slot) && vanished_[SlotIndex(slot)]; }

  // The dashboard window's view of the engine (DashboardOperations): the
  // verbs above with the same signatures, and read-only access below.
  std::string OpenFailureText(int slot) const override;
  const DeviceList& List() const override { return list_; }
  const DeviceTable& Devices() const override { return devices_; }
  const Settings& CurrentSettings() const override { return settings_; }
  bool SavingActive() const override { return spreadsheets_.SavingActive(); }
  // The first half of the window's Exit: no request is sent after this.
  void StopTick() { tick_timer_.stop(); }

  DeviceTable& Devices() { return devices_; }
  // Requests asked for and not yet sent.
  bool RequestsPending() const { return pending_.AnyPending(); }
  DeviceList& List() { return list_; }
  Settings& CurrentSettings() { return settings_; }
  // Why the settings file could not be read at start-up (ok: it was, or
  // there is none yet); the defaults are in use then.
  const Status& SettingsStatus() const { return settings_status_; }
  PortDirectory& Ports() { return directory_; }
  // The adapters' slots and the meter number last read on each slot, as
  // remembered now (written to the settings file as they change).
  const SlotMemory& RememberedSlots() const { return slot_memory_; }
  SpreadsheetExport& Spreadsheets() { return spreadsheets_; }

 Q_SIGNALS:
  // After a complete answer has been decoded and presented.
  void frameDecoded(int slot, quorvel::DecodeOutcome outcome);
  // A request frame was handed to a port.
  void requestSent(int slot, QByteArray frame);
  // A real-time row of the slot is safely in its spreadsheet file, or could
  // not be written (the reading stream tells the user why, once per cause).
  void rowSaved(int slot);
  void rowNotSaved(int slot);
  // A slot's port was opened (by the user, or again after its device
  // returned), or closed by the user or at the end.
  void deviceOpened(int slot);
  void deviceClosed(int slot);
  // The device of an open slot went away; it is opened again when it returns.
  void portLost(int slot);
  // The device of a slot lost while open came back and the slot is open again.
  void deviceReturned(int slot);
  // The device list changed, or the selected device was removed while open.
  void deviceListChanged();
  void selectedDeviceRemoved(int slot);

 private:
  // SerialPortOwner
  std::string DeviceNameFor(unsigned port_number) const override;
  void OnBytesReceived(unsigned port_number, std::span<const std::uint8_t> bytes) override;
  void OnPortLost(unsigned port_number) override;
  // FramePort
  void Write(int slot, std::span<const std::uint8_t> bytes) override;
  // MeterOperations
  WriteOutcome WriteTariff(int slot, std::int32_t price_set_count) override;
  bool ReadTariff(int slot, std::int32_t price_load_count) override;
  bool WriteTimer(int slot, int timer, const TimerEntry& entry) override;
  bool ReadTimer(int slot, int timer) override;
  WriteOutcome WriteLimits(int slot) override;
  bool ReadLimits(int slot) override;
  void ReadMonthHistory(int slot, int month) override;
  bool WriteClock(int slot) override;
  WriteOutcome WriteCo2Factor(int slot) override;
  bool ReadCo2Factor(int slot) override;
  bool ReadMeterNumber(int slot) override;
  bool ResetTimers(int slot) override;
  void ReadRealTime(int slot) override;
  // A builder hands its frame over and reports success; a closed slot gets
  // nothing and still counts as served.
  bool Send(int slot, const RequestFrame& frame) {
    SendRequest(*this, slot, frame);
    return true;
  }
  // Before each decoded answer is presented: what the view state holds of
  // the device list, the saving and the settings.
  void RefreshView();
  void Decoded(int slot, const DecodeOutcome& outcome);
  Result<Consumed> LogRow(const Reading& reading);
  void ScanPorts();
  // A removal, not the user's close: the slot is opened again on return.
  void CloseVanished(int slot);
  // Once per loss, whoever noticed it first (the monitor or a port scan).
  void TellLost(int slot, bool seen_absent);
  void OpenReturnedDevices();
  // Takes the port scan's remembered adapters and the meter number just
  // read on `slot`; a different meter than before is told once.
  void NoteRememberedAdapters();
  void NoteMeterNumber(int slot);
  void SaveSlotMemory();
  // The greeting's reads for a meter that may be another one now: at once
  // when it is the selected device, else when it is chosen.
  void ReadMeterWhenChosen(int slot);

  Notifier& notifier_;
  RequestFields& fields_;
  Options options_;
  SettingsFile settings_file_;
  Settings settings_;
  Status settings_status_;
  DeviceTable devices_;
  PendingOperations pending_;
  DeviceList list_;
  ViewState view_;
  PortDirectory directory_;
  SpreadsheetExport spreadsheets_;
  ReadingStream readings_;
  PageReadings page_readings_;
  AnswerPresenter presenter_;
  AnswerPipeline answers_;
  Scheduler scheduler_;
  QTimer tick_timer_;
  QTimer scan_timer_;
  std::array<OpenError, kSlotCount> open_errors_;
  std::array<std::string, kSlotCount> device_identities_;  // of the open slots
  std::array<std::string, kSlotCount> device_stamps_;
  // Opened, and neither closed nor told lost since. A monitor marks its port
  // closed before its word of the loss reaches this thread, so a scan may
  // find the device gone while IsOpen() is already false.
  std::array<bool, kSlotCount> open_as_told_{};
  std::array<bool, kSlotCount> vanished_{};     // lost while open, not closed by the user
  std::array<bool, kSlotCount> reselect_{};     // and it was the selected device
  std::array<bool, kSlotCount> seen_absent_{};  // and its device has been missing since
  SlotMemory slot_memory_;
  SlotMemory slot_memory_saved_;  // as the settings file holds it
  bool slot_memory_problem_told_ = false;
  // Came back, or opened where a meter was read before, while another device
  // was selected: tariff, limits, CO2 factor and number are read when it is
  // chosen (another meter may sit there now).
  std::array<bool, kSlotCount> greeting_owed_{};
  // Last, so that the monitors end before anything they hand bytes to.
  std::array<std::unique_ptr<CSerialPort>, kSlotCount> ports_;
};

}  // namespace quorvel
