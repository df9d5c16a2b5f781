// What the pages of the dashboard window may ask of the engine. Declared
// here, below the pages, so that a page never knows the engine or the main
// window: the engine implements it, tests may fake it. Every call runs on
// the user-interface thread and returns at once.
#pragma once

#include <string>

#include "device/device_list.h"
#include "device/pending_operations.h"
#include "model/dashboard_settings.h"
#include "model/device_record.h"
#include "model/status.h"

namespace quorvel {

class DashboardOperations {
 public:
  virtual ~DashboardOperations() = default;

  // Device slots (1..18). StartDevice is the comm button on a closed
  // device: open, ask the meter for tariff, limits, CO2 factor and number,
  // and save it too when saving runs or starts automatically.
  virtual bool StartDevice(int slot) = 0;
  virtual bool OpenDevice(int slot) = 0;
  // Asks the port to close and returns; the slot may read open a moment longer.
  virtual bool CloseDevice(int slot) = 0;
  virtual bool IsOpen(int slot) const = 0;
  // Why the last open of the slot failed, in words a user can act on.
  virtual std::string OpenFailureText(int slot) const = 0;

  // The device list and the selected device that every request addresses.
  virtual const DeviceList& List() const = 0;
  virtual bool Select(int slot) = 0;

  // Records, histories and meter settings, as the decoder wrote them.
  virtual const DeviceTable& Devices() const = 0;

  // Spreadsheet saving, for the whole program: a file that cannot be made
  // is told and leaves saving as it was (SavingActive says). A month of
  // history to its file; the failure says why (nothing is told).
  virtual void SetSaving(int slot, bool on) = 0;
  virtual bool SavingActive() const = 0;
  virtual Status SaveMonthData(int slot, int month) = 0;

  // History: the Day, Week and Month boxes from what is stored; for the
  // chart view, what the last read brought or a new twelve-month read, and
  // the end of a read it no longer waits for.
  virtual bool ShowStoredHistory(int slot) = 0;
  virtual bool RequestHistory(int slot, int month) = 0;
  virtual void EndHistoryRead(int slot) = 0;

  // The settings file's record; storing writes the file.
  virtual const Settings& CurrentSettings() const = 0;
  virtual void StoreSettings(const Settings& from_page) = 0;

  // Requests to the selected meter, served one a second by the tick, which
  // tells the outcome.
  virtual void RequestTariffRead() = 0;
  virtual void RequestTariffWrite() = 0;
  virtual void RequestLimitsRead() = 0;
  virtual void RequestLimitsWrite() = 0;
  virtual void RequestClockWrite() = 0;
  virtual void RequestCo2Write() = 0;
  virtual void RequestHistoryRead() = 0;
  virtual void RequestTimerRead() = 0;
  virtual void RequestTimerWrite(const TimerEdits& rows) = 0;

  // What the windows tell the engine about themselves.
  virtual void SetRealTimePageVisible(bool visible) = 0;
  virtual void SetChartViewOpen(bool open) = 0;
  virtual void SetRealTimeMode(bool on) = 0;
  virtual void SetFollowDeviceClock(bool follow) = 0;
};

}  // namespace quorvel
