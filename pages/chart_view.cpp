#include "pages/chart_view.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QRadioButton>
#include <QStackedLayout>

#include "pages/chart_bitmap.h"
#include "pages/chart_rules.h"
#include "pages/history_display.h"
#include "pages/readings_model.h"
#include "pages/tracking_charts.h"
#include "widgets/busy_indicator.h"
#include "widgets/chart_widget.h"
#include "widgets/image_button.h"

namespace quorvel {

ChartView::ChartView(DashboardOperations& operations, Notifier& notifier, QWidget* parent)
    : QDialog(parent), ops_(operations), notifier_(notifier) {
  setObjectName(QStringLiteral("ChartView"));
  BuildControls();
  ConnectHandlers();
  // Enter and Escape never reach the dialog or a control: they neither
  // close the view nor press a button.
  installEventFilter(this);
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

ChartView::~ChartView() = default;

void ChartView::ConnectHandlers() {
  connect(return_, &ImageButton::clicked, this, &QDialog::reject);
  connect(add_, &ImageButton::clicked, this, &ChartView::OnAddData);
  connect(delete_, &ImageButton::clicked, this, &ChartView::OnDeleteData);
  connect(mode_, &ImageButton::clicked, this, &ChartView::OnModeButton);
  // A screen reader's Toggle action toggles without a click: the handlers
  // follow the buttons' states, which form one exclusive pair.
  auto* modes = new QButtonGroup(this);
  modes->addButton(chart_mode_);
  modes->addButton(text_mode_);
  connect(chart_mode_, &ImageButton::toggled, this, [this](bool on) {
    if (on) OnChartMode();
  });
  connect(text_mode_, &ImageButton::toggled, this, [this](bool on) {
    if (on) OnTextMode();
  });
  connect(save_excel_, &ImageButton::clicked, this, &ChartView::OnSaveExcel);
  connect(com_, &ImageButton::clicked, this, &ChartView::OnCom);
  connect(save_bmp_, &ImageButton::clicked, this, &ChartView::OnSaveBmp);
  connect(device_box_, &QComboBox::activated, this, &ChartView::OnDeviceChosen);
  // Save to BMP is offered while one chart is enlarged in real-time mode;
  // history mode leaves it as it was.
  connect(charts_, &TrackingCharts::selectionChanged, this, [this](int selection) {
    if (real_time_mode_) save_bmp_->setVisible(selection != TrackingCharts::kAllCharts);
  });
  const std::pair<QRadioButton*, HistoryKind> forms[] = {
      {month_, HistoryKind::kByMonth}, {week_, HistoryKind::kByWeek}, {day_, HistoryKind::kByDay}};
  for (const auto& [radio, kind] : forms) {
    connect(radio, &QRadioButton::toggled, this, [this, kind = kind](bool on) {
      if (on) history_->ChooseForm(kind);
    });
  }
}

// --- Opening and real-time mode ------------------------------------------------

void ChartView::OpenFor(int view_slot) {
  view_slot_ = view_slot;
  {
    // Each opening starts afresh: nothing of the last one is drawn again.
    const QSignalBlocker quiet_chart(chart_mode_);
    const QSignalBlocker quiet_text(text_mode_);
    chart_mode_->setChecked(true);
    text_mode_->setChecked(false);
  }
  ShowArea(charts_);
  charts_->Start(view_slot, ops_.SavingActive());
  readings_->Restart();
  history_->Reset(view_slot);
  // No form is chosen yet.
  for (QRadioButton* radio : {month_, week_, day_}) {
    const QSignalBlocker quiet(radio);
    radio->setAutoExclusive(false);
    radio->setChecked(false);
    radio->setAutoExclusive(true);
  }
  real_time_mode_ = false;
  charts_->SetSelection(TrackingCharts::kAllCharts);
  EnterRealTimeMode();
  ops_.SetChartViewOpen(true);
  open();
}

void ChartView::EnterRealTimeMode() {
  history_->Leave();
  charts_->ShowCurrentAlone(false);
  readings_view_->setModel(readings_);
  const bool saving = ops_.SavingActive();
  charts_->RestartCurrentChart(saving);
  mode_->ShowSecondImage(false);
  mode_->SetTip(QStringLiteral("Real Time Data"));
  ShowSavingPressed(saving);
  device_label_->setText(QStringLiteral("Device"));
  // The view's own device, unless it went away meanwhile: then nothing is
  // chosen and the port button shows it stopped.
  FillDeviceBox(view_slot_);
  const bool running = ops_.IsOpen(ChosenSlot());
  ShowCom(running, running ? QStringLiteral("Com Start") : QStringLiteral("Com Stop"));
  com_->show();
  ShowHistoryControls(false);
  real_time_mode_ = true;
  ops_.SetRealTimeMode(true);
  if (!TextModeShown()) charts_->SetSelection(charts_->Selection());
  readings_->Restart();
}

void ChartView::done(int result) {
  // The decoder stops sending readings; real-time mode stays as it was.
  // Nothing is awaited any more.
  history_->Leave();
  ops_.SetChartViewOpen(false);
  QDialog::done(result);
}

// --- Readings -------------------------------------------------------------------

void ChartView::RealTimeSample(int slot, const DeviceRecord& record) {
  if (!real_time_mode_ || !isVisible()) return;
  if (TextModeShown()) {
    readings_->AddNewest(ReadingLine(slot, record));
  } else {
    charts_->Reading(slot, record);
  }
}

void ChartView::HistoryReady(int slot, int) {
  if (!real_time_mode_ && isVisible()) history_->Ready(slot);
}

// In history mode the view takes the read's progress, and shows it while it
// waits: a wait it has ended does not come back.
bool ChartView::HistoryProgress(int done, int total) {
  if (real_time_mode_ || !isVisible()) return false;
  history_->Progress(done, total);
  return true;
}

void ChartView::HistoryReadEnded() { history_->ReadEnded(); }

// --- The device box and the port button ---------------------------------------------

// The devices of the real-time page's list, in its order; `chosen` is
// chosen when it is listed, else nothing.
void ChartView::FillDeviceBox(int chosen) {
  const QSignalBlocker quiet(device_box_);
  device_box_->clear();
  for (const DeviceList::Entry& entry : ops_.List().Entries()) {
    device_box_->addItem(QString::fromStdString(entry.name), entry.slot);
  }
  device_box_->setCurrentIndex(device_box_->findData(chosen));
}

void ChartView::DeviceListChanged() {
  if (!real_time_mode_ || !isVisible()) return;
  const int chosen = ChosenSlot();
  FillDeviceBox(chosen);
  // The chosen device went away: nothing is chosen, its port is stopped.
  if (chosen != 0 && ChosenSlot() != chosen) ShowCom(false, QStringLiteral("Com Stop"));
}

void ChartView::PortLost(int slot) {
  if (!real_time_mode_) history_->SlotLost(slot);
  if (isVisible() && real_time_mode_ && slot == ChosenSlot()) ShowCom(false, QStringLiteral("Com Stop"));
}

void ChartView::DeviceReturned(int slot) {
  if (!isVisible() || !real_time_mode_) return;
  FillDeviceBox(ChosenSlot());
  if (slot == ChosenSlot()) ShowCom(true, QStringLiteral("Com Start"));
}

int ChartView::ChosenSlot() const { return device_box_->currentIndex() >= 0 ? device_box_->currentData().toInt() : 0; }

void ChartView::OnDeviceChosen(int index) {
  if (index < 0 || !real_time_mode_) return;
  com_->ShowSecondImage(ops_.IsOpen(ChosenSlot()));  // the tooltip stays
}

void ChartView::OnCom() {
  const int slot = ChosenSlot();
  if (slot == 0) return;
  if (ops_.IsOpen(slot)) {
    const bool closed = ops_.CloseDevice(slot);
    ShowCom(!closed, closed ? QStringLiteral("Com Stop") : QStringLiteral("Com Start"));
  } else {
    const bool opened = ops_.OpenDevice(slot);
    ShowCom(opened, opened ? QStringLiteral("Com Start") : QStringLiteral("Com Stop"));
  }
}

void ChartView::ShowCom(bool running, const QString& tip) {
  com_->ShowSecondImage(running);
  com_->SetTip(tip);
}

// --- Series ------------------------------------------------------------------------

void ChartView::OnAddData() {
  if (!real_time_mode_) {
    history_->AddMonth(device_box_->currentIndex() + 1);
    return;
  }
  const int slot = ChosenSlot();
  if (!real_time_mode_ || slot == 0) return;
  switch (charts_->AddSeries(slot, ops_.IsOpen(slot))) {
    case AddOutcome::kNoFreeColumn:
      Tell("Max");
      break;
    case AddOutcome::kNotOpen:
      Tell("please run com");
      break;
    case AddOutcome::kAdded:
    case AddOutcome::kAlreadyPlotted:
      break;
  }
}

void ChartView::OnDeleteData() {
  if (!real_time_mode_) {
    history_->DeleteMonth(device_box_->currentIndex() + 1);
    return;
  }
  const int slot = ChosenSlot();
  if (real_time_mode_ && slot != 0) charts_->RemoveSeries(slot);
}

// --- Modes -------------------------------------------------------------------------

void ChartView::OnModeButton() {
  if (!real_time_mode_) {
    EnterRealTimeMode();
    return;
  }
  EnterHistoryMode();
}

// Only the current chart is shown, or the text list; the device box lists
// the months. A form chosen on an earlier visit is drawn again.
void ChartView::EnterHistoryMode() {
  real_time_mode_ = false;
  ops_.SetRealTimeMode(false);
  mode_->ShowSecondImage(true);
  mode_->SetTip(QStringLiteral("History Data"));
  ShowSavingPressed(false);
  device_label_->setText(QString::fromLatin1(kMonthLabelText));
  {
    const QSignalBlocker quiet(device_box_);
    device_box_->clear();
    for (const char* name : HistoryMonthNames()) device_box_->addItem(QString::fromLatin1(name));
    device_box_->setCurrentIndex(0);
  }
  com_->hide();
  readings_view_->setModel(&history_->Lines());
  charts_->ShowCurrentAlone(true);
  ShowHistoryControls(true);
  history_->Enter();
}

void ChartView::ShowHistoryControls(bool shown) {
  for (QRadioButton* radio : {month_, week_, day_}) radio->setVisible(shown);
}

// In history mode the chosen form is drawn again in the new way.
void ChartView::OnChartMode() {
  if (TextModeShown()) {
    ShowArea(charts_);
    charts_->SetSelection(charts_->Selection());
  }
  chart_mode_->setChecked(true);
  text_mode_->setChecked(false);
  if (!real_time_mode_) history_->Redraw();
}

void ChartView::OnTextMode() {
  ShowArea(readings_view_);
  chart_mode_->setChecked(false);
  text_mode_->setChecked(true);
  if (!real_time_mode_) history_->Redraw();
}

void ChartView::ShowArea(QWidget* shown) {
  area_->setCurrentWidget(shown);
  busy_->raise();
}

bool ChartView::TextModeShown() const { return area_->currentWidget() == readings_view_; }

// The chart shown enlarged; in history mode that is the current chart,
// whichever chart real-time mode had enlarged.
void ChartView::OnSaveBmp() {
  const int selection = real_time_mode_ ? charts_->Selection() : static_cast<int>(TrackedQuantity::kCurrent);
  if (selection == TrackingCharts::kAllCharts) return;
  ChartWidget& chart = charts_->Chart(static_cast<TrackedQuantity>(selection));
  const BitmapSaveResult saved = SaveChartPicture(chart, ops_.CurrentSettings().BMP, view_slot_, selection);
  Tell(saved.message, saved.ok ? NoticeIcon::kInformation : NoticeIcon::kWarning);
}

// --- Saving --------------------------------------------------------------------------

// A press starts saving, the next stops it. Whatever the outcome, the view's
// titles and button and the real-time page's button show whether saving
// runs: a file that cannot be made leaves it off (the saving has told why).
void ChartView::OnSaveExcel() {
  if (!real_time_mode_) {
    ShowSavingPressed(false);
    history_->SaveMonths();
    return;
  }
  const bool start = !saving_pressed_;
  ops_.SetSaving(view_slot_, start);
  const bool saving = ops_.SavingActive();
  charts_->ShowSaving(saving);
  ShowSavingPressed(saving);
  Q_EMIT savingChanged();
}

void ChartView::ShowSavingPressed(bool pressed) {
  saving_pressed_ = pressed;
  save_excel_->ShowSecondImage(pressed);
}

// --- Keys and messages -----------------------------------------------------------------

bool ChartView::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == area_host_ && event->type() == QEvent::Resize) ||
      (watched == busy_ && event->type() == QEvent::ShowToParent)) {
    PlaceProgress();
    return false;
  }
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) return false;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

void ChartView::Tell(const std::string& text, NoticeIcon icon) { notifier_.Notify(Notice{"", text, icon}); }

}  // namespace quorvel
