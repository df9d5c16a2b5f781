// The real-time page: the chosen meter's clock, live readings, tariff,
// history and CO2 factor. It draws and forwards: what it decides sits in
// field_checks, history_cursor and key_rules; what it asks of the meters
// goes through DashboardOperations; what the meters answer arrives through
// the Show... calls, as finished texts.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/dashboard_operations.h"
#include "model/display.h"
#include "model/notifier.h"
#include "model/reading_fields.h"
#include "pages/field_marks.h"
#include "pages/history_cursor.h"
#include "pages/page_widget.h"
#include "protocol/commands.h"

class QComboBox;
class QKeyEvent;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QVBoxLayout;

namespace quorvel {

class ArrowPair;
class ImageButton;
class MarkedField;

class RealTimePage : public PageWidget {
  Q_OBJECT

 public:
  RealTimePage(DashboardOperations& operations, Notifier& notifier, QWidget* parent = nullptr);

  // What the decoder and the tick show.
  void ShowClock(const ClockTexts& texts);
  void ShowReadings(const ReadingTexts& texts);
  void ShowTariff(const TariffTexts& texts);
  void ShowHistoryBoxes(const HistoryTexts& texts);
  void ShowCo2Factor(const std::string& text);
  void ShowLimitAlarm(bool image_shown);

  // The field values that requests carry, checked by their rules now:
  // nothing, with the offending fields marked red, when one breaks its rule.
  std::optional<TariffValues> TariffRequest();
  std::optional<std::int32_t> Co2FactorRequest();

  // The device list changed: the device box follows it.
  void RefreshDeviceBox();
  // The selected device went away while open, or came back and runs again.
  void ShowDeviceStopped();
  void ShowDeviceRunning();
  // The comm and save buttons show what runs now (after the chart view).
  void ShowCommState();
  void ShowSaveState();

  // Exit stops each open device as the user would: select it, press comm.
  void SelectEntry(int index);
  void PressComm();

 Q_SIGNALS:
  // A long operation was asked for; the tick reports its progress.
  void longOperationStarted(quorvel::BusyOperation operation, int total);
  void chartViewRequested(int slot);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildHeader();
  void BuildReadings();
  void BuildTariff();
  void BuildHistory();
  void ConnectHandlers();
  void ApplyStyle();

  int SelectedSlot() const;
  ShownDate Shown() const;
  void Tell(const std::string& text, NoticeIcon icon = NoticeIcon::kInformation);
  void ApplyMarks();
  void ShowComm(bool running, const QString& tip);
  // The reading boxes show nothing until the chosen meter answers; the hint
  // names the next step meanwhile.
  void ShowNoReadings();
  void UpdateHint();
  void ShowPosition();
  bool FilterTypedKey(QObject* watched, const QKeyEvent& key);

  // Handlers.
  void OnComm();
  void OnDeviceChosen(int index);
  void OnConvertView();
  void OnTimeDownload();
  void OnPriceDownload();
  void OnPriceLoad();
  void OnSave();
  void OnFollowClock();
  void OnHistoryLoad();
  void OnCo2Download();
  void OnDateEdited(const QString& text);
  void OnDayArrow(int change);
  void OnWeekArrow(int change);
  void OnMonthArrow(int change);

  DashboardOperations& ops_;
  Notifier& notifier_;
  FieldMarks marks_;
  HistoryCursor cursor_;
  bool follow_clock_ = true;
  int readings_slot_ = 0;  // whose readings the boxes show; 0: none

  QVBoxLayout* page_layout_ = nullptr;
  QGridLayout* body_ = nullptr;
  // Header.
  MarkedField* date_ = nullptr;
  MarkedField* time_ = nullptr;
  QComboBox* weekday_ = nullptr;
  ImageButton* time_download_ = nullptr;
  ImageButton* follow_clock_button_ = nullptr;
  QComboBox* device_box_ = nullptr;
  ImageButton* comm_ = nullptr;
  ImageButton* convert_view_ = nullptr;
  // Device readings.
  std::array<QLineEdit*, kReadingFieldCount> reading_boxes_{};  // at their field's index
  std::vector<QLineEdit*> reading_rows_;                        // every box of the group, in page order
  MarkedField* current_ = nullptr;                              // the current's box, which turns red
  QLineEdit* co2_ = nullptr;
  ImageButton* save_ = nullptr;
  ImageButton* limit_indicator_ = nullptr;
  QLabel* hint_ = nullptr;
  // Tariff.
  MarkedField* price1_ = nullptr;
  MarkedField* price2_ = nullptr;
  QLineEdit* tier_start_ = nullptr;
  MarkedField* boundary_ = nullptr;
  MarkedField* upper_end_ = nullptr;
  ImageButton* price_load_ = nullptr;
  ImageButton* price_download_ = nullptr;
  // History and CO2 factor.
  QGroupBox* position_ = nullptr;  // the history group, titled by the position
  QLineEdit* day_ = nullptr;
  QLineEdit* week_ = nullptr;
  QLineEdit* month_ = nullptr;
  ArrowPair* day_arrows_ = nullptr;
  ArrowPair* week_arrows_ = nullptr;
  ArrowPair* month_arrows_ = nullptr;
  ImageButton* history_load_ = nullptr;
  MarkedField* co2_factor_ = nullptr;
  ImageButton* co2_download_ = nullptr;
};

}  // namespace quorvel
