// The chart view: a window-modal dialog over the main window, opened from
// the real-time page for the chosen open device. In real-time mode it
// tracks current, voltage, power and power factor of up to four devices in
// four charts (TrackingCharts), or lists every reading as a line of text.
// From it the user also starts and stops a device's port and the
// spreadsheet saving. Each opening starts afresh.
//
// In history mode the current chart alone (or the text list) shows the day,
// week or month energy of the view's own device (HistoryDisplay). Save to
// BMP saves the chart shown enlarged as a numbered bitmap file.
//
// The view draws and forwards: what it decides sits in chart_rules and
// history_rules; what it asks of the meters goes through
// DashboardOperations; the readings and the history arrive through
// RealTimeSample (the main window subscribes it to the engine's readings)
// and HistoryReady (from the presenter and the tick), with the history
// read's progress.
#pragma once

#include <QDialog>
#include <QPixmap>

#include <string>

#include "device/dashboard_operations.h"
#include "model/device_record.h"
#include "model/notifier.h"

class QComboBox;
class QLabel;
class QListView;
class QRadioButton;
class QStackedLayout;

namespace quorvel {

class BusyIndicator;
class HistoryDisplay;
class ImageButton;
class ReadingsModel;
class TrackingCharts;

class ChartView : public QDialog {
  Q_OBJECT

 public:
  ChartView(DashboardOperations& operations, Notifier& notifier, QWidget* parent = nullptr);
  ~ChartView() override;

  // Initialises the view for the device and shows it (window-modal, returns
  // at once: the engine's tick and ports keep running).
  void OpenFor(int view_slot);
  int ViewSlot() const { return view_slot_; }
  bool InRealTimeMode() const { return real_time_mode_; }

  // From the main window: a live reading of a slot (the presenter marks
  // them while the view is open and in real-time mode), a slot's history
  // ready, the device list changed, an open slot's device went away or came
  // back (and runs again).
  void RealTimeSample(int slot, const DeviceRecord& record);
  void HistoryReady(int slot, int month);
  void DeviceListChanged();
  void PortLost(int slot);
  void DeviceReturned(int slot);
  // The history read's progress: true when the view takes it (in history
  // mode; shown while it waits); the read ended or was dropped.
  bool HistoryProgress(int done, int total);
  void HistoryReadEnded();

  TrackingCharts& Charts() { return *charts_; }
  HistoryDisplay& History() { return *history_; }

 Q_SIGNALS:
  // Saving was started or stopped from the view: the real-time page's save
  // button follows.
  void savingChanged();

 public Q_SLOTS:
  void done(int result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void BuildControls();
  void ConnectHandlers();
  void EnterRealTimeMode();
  void EnterHistoryMode();
  void ShowHistoryControls(bool shown);
  void FillDeviceBox(int chosen);
  int ChosenSlot() const;
  bool TextModeShown() const;
  void ShowCom(bool running, const QString& tip);
  void ShowSavingPressed(bool pressed);
  void ShowArea(QWidget* shown);
  void PlaceProgress();
  void Tell(const std::string& text, NoticeIcon icon = NoticeIcon::kInformation);

  // Handlers.
  void OnAddData();
  void OnDeleteData();
  void OnModeButton();
  void OnChartMode();
  void OnTextMode();
  void OnSaveExcel();
  void OnCom();
  void OnDeviceChosen(int index);
  void OnSaveBmp();

  DashboardOperations& ops_;
  Notifier& notifier_;
  int view_slot_ = 0;
  bool real_time_mode_ = false;
  bool saving_pressed_ = false;

  ImageButton* return_ = nullptr;
  ImageButton* add_ = nullptr;
  ImageButton* delete_ = nullptr;
  ImageButton* mode_ = nullptr;
  ImageButton* chart_mode_ = nullptr;
  ImageButton* text_mode_ = nullptr;
  ImageButton* save_excel_ = nullptr;
  ImageButton* com_ = nullptr;
  ImageButton* save_bmp_ = nullptr;
  QLabel* device_label_ = nullptr;
  QComboBox* device_box_ = nullptr;
  QRadioButton* month_ = nullptr;
  QRadioButton* week_ = nullptr;
  QRadioButton* day_ = nullptr;
  QWidget* area_host_ = nullptr;
  QStackedLayout* area_ = nullptr;
  TrackingCharts* charts_ = nullptr;
  QListView* readings_view_ = nullptr;
  ReadingsModel* readings_ = nullptr;
  BusyIndicator* busy_ = nullptr;
  HistoryDisplay* history_ = nullptr;
  QPixmap background_;
};

}  // namespace quorvel
