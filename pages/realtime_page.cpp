#include "pages/realtime_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "pages/field_checks.h"
#include "pages/field_keys.h"
#include "pages/readings_hint.h"
#include "widgets/arrow_pair.h"
#include "widgets/image_button.h"
#include "widgets/marked_field.h"

namespace quorvel {
namespace {

void SetTextIfChanged(QLineEdit* field, const std::string& text) {
  const QString shown = QString::fromStdString(text);
  if (field->text() != shown) field->setText(shown);
}

std::string TextOf(const QLineEdit* field) { return field->text().toStdString(); }

}  // namespace

RealTimePage::RealTimePage(DashboardOperations& operations, Notifier& notifier, QWidget* parent)
    : PageWidget(parent), ops_(operations), notifier_(notifier) {
  setObjectName(QStringLiteral("RealTimePage"));
  ApplyStyle();
  page_layout_ = new QVBoxLayout(this);
  page_layout_->setContentsMargins(14, 10, 14, 12);
  page_layout_->setSpacing(6);
  body_ = new QGridLayout;
  body_->setHorizontalSpacing(14);
  body_->setVerticalSpacing(8);
  page_layout_->addLayout(body_, 1);
  BuildHeader();
  BuildReadings();
  BuildTariff();
  BuildHistory();
  ConnectHandlers();
  std::vector<QWidget*> tab_order{device_box_, comm_,    convert_view_,  date_,
                                  time_,       weekday_, time_download_, follow_clock_button_};
  tab_order.insert(tab_order.end(), reading_rows_.begin(), reading_rows_.end());
  tab_order.insert(tab_order.end(), {save_,         limit_indicator_,    price1_,
                                     tier_start_,   boundary_,           price_load_,
                                     price2_,       upper_end_,          price_download_,
                                     day_,          day_arrows_->Up(),   day_arrows_->Down(),
                                     week_,         week_arrows_->Up(),  week_arrows_->Down(),
                                     month_,        month_arrows_->Up(), month_arrows_->Down(),
                                     history_load_, co2_factor_,         co2_download_});
  SetTabOrder(tab_order);
  // The week day of the date shown from the start.
  OnDateEdited(date_->text());
  UpdateHint();
  // Enter and Escape never reach a control; the filtered fields see their
  // typed characters here first.
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

void RealTimePage::ConnectHandlers() {
  connect(comm_, &ImageButton::clicked, this, &RealTimePage::OnComm);
  connect(device_box_, &QComboBox::activated, this, &RealTimePage::OnDeviceChosen);
  connect(convert_view_, &ImageButton::clicked, this, &RealTimePage::OnConvertView);
  connect(time_download_, &ImageButton::clicked, this, &RealTimePage::OnTimeDownload);
  connect(follow_clock_button_, &ImageButton::clicked, this, &RealTimePage::OnFollowClock);
  connect(price_download_, &ImageButton::clicked, this, &RealTimePage::OnPriceDownload);
  connect(price_load_, &ImageButton::clicked, this, &RealTimePage::OnPriceLoad);
  connect(save_, &ImageButton::clicked, this, &RealTimePage::OnSave);
  connect(history_load_, &ImageButton::clicked, this, &RealTimePage::OnHistoryLoad);
  connect(co2_download_, &ImageButton::clicked, this, &RealTimePage::OnCo2Download);
  connect(date_, &QLineEdit::textChanged, this, &RealTimePage::OnDateEdited);
  connect(day_arrows_, &ArrowPair::changed, this, &RealTimePage::OnDayArrow);
  connect(week_arrows_, &ArrowPair::changed, this, &RealTimePage::OnWeekArrow);
  connect(month_arrows_, &ArrowPair::changed, this, &RealTimePage::OnMonthArrow);
}

// --- What the meters show -------------------------------------------------

void RealTimePage::ShowClock(const ClockTexts& texts) {
  SetTextIfChanged(date_, texts.date);
  SetTextIfChanged(time_, texts.time);
  weekday_->setCurrentIndex(texts.weekday_entry);
}

void RealTimePage::ShowReadings(const ReadingTexts& texts) {
  for (std::size_t i = 0; i < reading_boxes_.size(); ++i) {
    if (reading_boxes_[i] != nullptr) SetTextIfChanged(reading_boxes_[i], texts.fields[i]);
  }
  SetTextIfChanged(co2_, texts.co2);
  if (texts.current_alarm) {
    marks_.Mark(mark_slot::kCurrent, field_id::kCurrent);
  } else {
    marks_.Unmark(mark_slot::kCurrent);
  }
  ApplyMarks();
  const QString tip = QString::fromStdString(texts.limit_tooltip);
  if (limit_indicator_->toolTip() != tip) limit_indicator_->SetTip(tip);
  // The decoder shows the chosen meter's readings only.
  if (readings_slot_ != SelectedSlot()) {
    readings_slot_ = SelectedSlot();
    UpdateHint();
  }
}

void RealTimePage::ShowNoReadings() {
  readings_slot_ = 0;
  const std::string none = kNoReadingText;
  for (QLineEdit* box : reading_rows_) SetTextIfChanged(box, none);
  marks_.Unmark(mark_slot::kCurrent);
  ApplyMarks();
}

// Another meter's readings never stand for the chosen one's.
void RealTimePage::UpdateHint() {
  const int chosen = SelectedSlot();
  if (readings_slot_ != 0 && readings_slot_ != chosen) ShowNoReadings();
  const ReadingsState state{device_box_->count(), chosen, chosen != 0 && comm_->ShowsSecondImage(),
                            chosen != 0 && readings_slot_ == chosen};
  const QString text = QString::fromStdString(ReadingsHint(state));
  if (hint_->text() != text) hint_->setText(text);
  hint_->setVisible(!text.isEmpty());
}

void RealTimePage::ShowTariff(const TariffTexts& texts) {
  SetTextIfChanged(price1_, texts.price1);
  SetTextIfChanged(price2_, texts.price2);
  SetTextIfChanged(boundary_, texts.tier_limit);
}

void RealTimePage::ShowHistoryBoxes(const HistoryTexts& texts) {
  if (texts.day) SetTextIfChanged(day_, *texts.day);
  if (texts.week) SetTextIfChanged(week_, *texts.week);
  if (texts.month) SetTextIfChanged(month_, *texts.month);
}

void RealTimePage::ShowCo2Factor(const std::string& text) { SetTextIfChanged(co2_factor_, text); }

void RealTimePage::ShowLimitAlarm(bool image_shown) { limit_indicator_->SetImageShown(image_shown); }

std::optional<TariffValues> RealTimePage::TariffRequest() {
  const std::optional<TariffValues> tariff =
      CheckTariffFields({TextOf(boundary_), TextOf(upper_end_), TextOf(price1_), TextOf(price2_)}, marks_);
  ApplyMarks();
  return tariff;
}

std::optional<std::int32_t> RealTimePage::Co2FactorRequest() {
  const std::optional<std::int32_t> factor = CheckCo2FactorField(TextOf(co2_factor_), marks_);
  ApplyMarks();
  return factor;
}

// --- The device box and the comm button --------------------------------------

void RealTimePage::RefreshDeviceBox() {
  const DeviceList& list = ops_.List();
  const QSignalBlocker quiet(device_box_);
  bool same = device_box_->count() == static_cast<int>(list.Entries().size());
  for (int i = 0; same && i < device_box_->count(); ++i) {
    same = device_box_->itemData(i).toInt() == list.Entries()[static_cast<std::size_t>(i)].slot;
  }
  if (!same) {
    device_box_->clear();
    for (const DeviceList::Entry& entry : list.Entries()) {
      device_box_->addItem(QString::fromStdString(entry.name), entry.slot);
    }
  }
  device_box_->setCurrentIndex(list.SelectedIndex());
  UpdateHint();
}

void RealTimePage::ShowDeviceStopped() { ShowComm(false, QStringLiteral("Comm Stop")); }
void RealTimePage::ShowDeviceRunning() { ShowComm(true, QStringLiteral("Comm Start")); }

void RealTimePage::ShowCommState() {
  const int slot = SelectedSlot();
  if (slot == 0) return;
  const bool running = ops_.IsOpen(slot);
  ShowComm(running, running ? QStringLiteral("Comm Start") : QStringLiteral("Comm Stop"));
}

void RealTimePage::SelectEntry(int index) {
  device_box_->setCurrentIndex(index);
  OnDeviceChosen(index);
}

void RealTimePage::PressComm() { comm_->click(); }

void RealTimePage::OnComm() {
  const int slot = SelectedSlot();
  if (slot == 0) {
    Tell("Please Select Device");
    return;
  }
  if (ops_.IsOpen(slot)) {
    const bool closed = ops_.CloseDevice(slot);
    ShowComm(!closed, closed ? QStringLiteral("Comm Stop") : QStringLiteral("Comm Start"));
    return;
  }
  const bool was_saving = ops_.SavingActive();
  if (!ops_.StartDevice(slot)) {
    ShowComm(false, QStringLiteral("Comm Stop"));
    Tell(ops_.OpenFailureText(slot), NoticeIcon::kWarning);
    return;
  }
  ShowComm(true, QStringLiteral("Comm Start"));
  // Saving started for the new device, as if Save had been pressed.
  if (!was_saving && ops_.CurrentSettings().AutoSave) ShowSaveState();
}

void RealTimePage::OnDeviceChosen(int index) {
  if (index < 0) return;
  const int slot = device_box_->itemData(index).toInt();
  ops_.Select(slot);
  comm_->ShowSecondImage(ops_.IsOpen(slot));
  UpdateHint();
}

void RealTimePage::OnConvertView() {
  const int slot = SelectedSlot();
  if (slot == 0) {
    Tell("Please Select Device");
  } else if (!ops_.IsOpen(slot)) {
    Tell("Please Open Device");
  } else {
    Q_EMIT chartViewRequested(slot);
  }
}

// --- Requests -----------------------------------------------------------------

void RealTimePage::OnTimeDownload() {
  ClockFields fields{TextOf(date_), TextOf(time_)};
  const bool valid = CheckClockFields(fields, marks_);
  SetTextIfChanged(date_, fields.date);
  SetTextIfChanged(time_, fields.time);
  ApplyMarks();
  // The meter gets the computer's clock, not the typed one.
  if (valid) ops_.RequestClockWrite();
}

// Checked now, and again when the tick builds the request.
void RealTimePage::OnPriceDownload() {
  if (TariffRequest()) ops_.RequestTariffWrite();
}

void RealTimePage::OnPriceLoad() { ops_.RequestTariffRead(); }

void RealTimePage::OnSave() {
  const int slot = SelectedSlot();
  if (slot != 0 && ops_.IsOpen(slot)) {
    const bool saving = ops_.SavingActive();
    ops_.SetSaving(slot, !saving);
  } else {
    ops_.SetSaving(slot, false);
  }
  // What runs now; a file that cannot be made has been told by the saving itself.
  ShowSaveState();
}

void RealTimePage::OnFollowClock() {
  follow_clock_ = !follow_clock_;
  ops_.SetFollowDeviceClock(follow_clock_);
  follow_clock_button_->ShowSecondImage(follow_clock_);
  follow_clock_button_->SetTip(follow_clock_ ? QStringLiteral("Load Device DateTime")
                                             : QStringLiteral("Stop Load DateTime"));
}

void RealTimePage::OnCo2Download() {
  const Co2FactorCheck check = CheckCo2Factor(TextOf(co2_factor_));
  if (check == Co2FactorCheck::kTooLarge) Tell("The max number is 0.999");
  if (check == Co2FactorCheck::kNegative) Tell("The min number is 0.000");
  if (Co2FactorRequest()) ops_.RequestCo2Write();
}

// --- History ------------------------------------------------------------------

void RealTimePage::OnHistoryLoad() {
  const int slot = SelectedSlot();
  if (slot == 0) {
    Tell("Please Select Device");
    return;
  }
  if (!ops_.IsOpen(slot)) {
    Tell("Please Open Comm");
    return;
  }
  const ShownDate shown = Shown();
  if (shown.day <= 0) return;  // no real-time answer yet
  if (ops_.Devices().Slot(slot).HistoryLoaded != 0) {
    ops_.ShowStoredHistory(slot);
  } else {
    ops_.RequestHistoryRead();
    Q_EMIT longOperationStarted(BusyOperation::kHistoryRead, kMonths);
  }
  cursor_ = CursorAt(shown);
  ShowPosition();
}

void RealTimePage::OnDayArrow(int change) {
  const int slot = SelectedSlot();
  if (slot == 0) return;
  if (const auto text = StepDay(cursor_, change, Shown(), ops_.Devices().Slot(slot).History)) {
    ShowPosition();
    SetTextIfChanged(day_, *text);
  }
}

void RealTimePage::OnWeekArrow(int change) {
  const int slot = SelectedSlot();
  if (slot == 0) return;
  if (const auto text = StepWeek(cursor_, change, Shown(), ops_.Devices().Slot(slot).History)) {
    ShowPosition();
    SetTextIfChanged(week_, *text);
  }
}

void RealTimePage::OnMonthArrow(int change) {
  const int slot = SelectedSlot();
  if (slot == 0) return;
  if (const auto text = StepMonth(cursor_, change, Shown(), ops_.Devices().Slot(slot).History)) {
    ShowPosition();
    SetTextIfChanged(month_, *text);
  }
}

void RealTimePage::OnDateEdited(const QString& text) {
  if (const std::optional<int> entry = WeekdayEntryOfDateText(text.toStdString())) weekday_->setCurrentIndex(*entry);
}

// --- Helpers --------------------------------------------------------------------

int RealTimePage::SelectedSlot() const { return ops_.List().SelectedSlot(); }

ShownDate RealTimePage::Shown() const {
  const MeterSettings& s = ops_.Devices().Settings();
  return ShownDate{s.ShownYear, s.ShownMonth, s.ShownDay};
}

void RealTimePage::Tell(const std::string& text, NoticeIcon icon) { notifier_.Notify(Notice{"", text, icon}); }

void RealTimePage::ApplyMarks() {
  date_->SetMarked(marks_.IsMarked(field_id::kDate));
  time_->SetMarked(marks_.IsMarked(field_id::kTime));
  current_->SetMarked(marks_.IsMarked(field_id::kCurrent));
  boundary_->SetMarked(marks_.IsMarked(field_id::kTierBoundary));
  upper_end_->SetMarked(marks_.IsMarked(field_id::kTierUpperEnd));
  price1_->SetMarked(marks_.IsMarked(field_id::kPrice1));
  price2_->SetMarked(marks_.IsMarked(field_id::kPrice2));
  co2_factor_->SetMarked(marks_.IsMarked(field_id::kCo2Factor));
}

void RealTimePage::ShowComm(bool running, const QString& tip) {
  comm_->ShowSecondImage(running);
  comm_->SetTip(tip);
  UpdateHint();
}

void RealTimePage::ShowSaveState() {
  const bool saving = ops_.SavingActive();
  save_->ShowSecondImage(saving);
  save_->SetTip(saving ? QStringLiteral("Save to Excel") : QStringLiteral("Stop Save"));
}

void RealTimePage::ShowPosition() {
  // The group's title names the position the boxes show.
  const QString text = QString::fromStdString(PositionText(cursor_));
  position_->setTitle(text);
  position_->setAccessibleDescription(text);
}

// --- Keys -------------------------------------------------------------------------

bool RealTimePage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const auto& key = static_cast<const QKeyEvent&>(*event);
  if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter || key.key() == Qt::Key_Escape) return true;
  return FilterTypedKey(watched, key);
}

bool RealTimePage::FilterTypedKey(QObject* watched, const QKeyEvent& key) {
  auto* field = qobject_cast<QLineEdit*>(watched);
  if (field == nullptr) return false;
  const int length = field->maxLength();
  if (field == time_) {
    return ApplyKeyRule(*field, key, [length](const FieldEdit& edit, char32_t typed) {
      return TypeIntoTimeField(edit, typed, length);
    });
  }
  if (field == date_) {
    return ApplyKeyRule(*field, key, [length](const FieldEdit& edit, char32_t typed) {
      return TypeIntoDateField(edit, typed, length);
    });
  }
  if (field == price1_ || field == price2_) return ApplyKeyRule(*field, key, TypeIntoPriceField);
  return false;
}

}  // namespace quorvel
