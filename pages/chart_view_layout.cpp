// The chart view's controls and where they sit: one row of buttons above
// the area that shows the charts or the text list. The row keeps the
// spreadsheet, chart and text buttons at its right end; the area takes the
// rest of the window and follows its size.
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QRadioButton>
#include <QStackedLayout>
#include <QVBoxLayout>

#include <algorithm>

#include "pages/chart_rules.h"
#include "pages/chart_view.h"
#include "pages/history_display.h"
#include "pages/readings_model.h"
#include "pages/tracking_charts.h"
#include "resources/artwork.h"
#include "widgets/busy_indicator.h"
#include "widgets/image_button.h"
#include "widgets/tooltip_style.h"

namespace quorvel {
namespace {

constexpr int kTipPointSize = 11;
constexpr int kViewPointSize = 14;      // the device box, its label and the radio buttons
constexpr int kReadingsPointSize = 13;  // the text list, in a fixed-width font so its columns line up
const QSize kButtonSize{48, 48};
const QSize kButtonHoverSize{56, 56};
// The history read's progress, on a panel of its own over the middle of the
// area: in the row of buttons it would widen the view.
const QSize kBusySize{240, 72};
// The backdrop's own size; its rule lies 70 pixels down.
const QSize kBackdropSize{1024, 768};
constexpr int kAreaTop = 76;  // the charts start below that rule

ImageButton* Button(const QString& image, const QString& tip, QWidget* parent) {
  auto* button = new ImageButton(image, tip, kButtonSize, kButtonHoverSize, parent);
  StyleTooltip(button, kPageTipColour, kTipPointSize);
  return button;
}

// A two-state button: a lime frame shows it pressed.
class PressedFrameButton : public ImageButton {
 public:
  using ImageButton::ImageButton;

 protected:
  void paintEvent(QPaintEvent* event) override {
    ImageButton::paintEvent(event);
    if (!isChecked()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0xEC, 0xFA, 0x42), 2));
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 8, 8);
  }
};

ImageButton* TwoStateButton(const QString& image, const QString& tip, QWidget* parent) {
  auto* button = new PressedFrameButton(image, tip, kButtonSize, kButtonHoverSize, parent);
  button->setCheckable(true);
  StyleTooltip(button, kPageTipColour, kTipPointSize);
  return button;
}

QRadioButton* Radio(const QString& text, const QFont& font, QWidget* parent) {
  auto* radio = new QRadioButton(text, parent);
  radio->setAccessibleName(text);
  radio->setFont(font);
  radio->hide();
  return radio;
}

}  // namespace

void ChartView::BuildControls() {
  setWindowTitle(QStringLiteral("Chart View"));
  setSizeGripEnabled(true);
  // Light ink on the dark backdrop, as the main window's pages: for the
  // view's own controls only (">"), so that the message boxes opened over
  // the view keep their dark ink on their light face.
  // The history forms' radio buttons get a ring that shows on the dark
  // backdrop; the chosen one is filled and lime, like a pressed button.
  setStyleSheet(QStringLiteral(
      "QDialog#ChartView > QLabel, QDialog#ChartView > QRadioButton { color: #E8F3F1; background: transparent; }"
      "QDialog#ChartView > QRadioButton { spacing: 6px; }"
      "QDialog#ChartView > QRadioButton::indicator { width: 12px; height: 12px; border-radius: 8px;"
      " border: 2px solid #E8F3F1; }"
      "QDialog#ChartView > QRadioButton::indicator:checked { background: #ECFA42; border-color: #ECFA42; }"
      "QDialog#ChartView > QRadioButton:checked { color: #ECFA42; }"
      "#HistoryProgress { background: #0F2C38; border: 1px solid #2EC4B6; border-radius: 8px; }"));

  QFont view_font = font();
  view_font.setPointSize(kViewPointSize);

  return_ = Button(QStringLiteral("return-main"), QStringLiteral("Return to Main"), this);
  add_ = Button(QStringLiteral("add-data"), QStringLiteral("Add Data"), this);
  delete_ = Button(QStringLiteral("delete-data"), QStringLiteral("Delete Data"), this);
  mode_ = Button(QStringLiteral("mode-realtime"), QStringLiteral("Real Time Data"), this);
  mode_->SetSecondImage(QStringLiteral("mode-history"));
  mode_->SetActionNames(QStringLiteral("History Data"), QStringLiteral("Real Time Data"));
  device_label_ = new QLabel(QStringLiteral("Device"), this);
  device_label_->setFont(view_font);
  device_box_ = new QComboBox(this);
  device_box_->setAccessibleName(QStringLiteral("Device"));
  device_box_->setFont(view_font);
  device_box_->setMinimumWidth(120);
  device_label_->setBuddy(device_box_);  // its caption for a screen reader, "Device" or "Month"
  com_ = Button(QStringLiteral("com-stopped"), QStringLiteral("Com Start"), this);
  com_->SetSecondImage(QStringLiteral("com-running"));
  com_->SetActionNames(QStringLiteral("Com Start"), QStringLiteral("Com Stop"));
  save_bmp_ = Button(QStringLiteral("save-bmp"), QStringLiteral("Save to BMP"), this);
  save_bmp_->hide();
  month_ = Radio(QStringLiteral("Month"), view_font, this);
  week_ = Radio(QStringLiteral("Week"), view_font, this);
  day_ = Radio(QStringLiteral("Day"), view_font, this);
  save_excel_ = Button(QStringLiteral("save-excel-off"), QStringLiteral("Save to Excel"), this);
  save_excel_->SetSecondImage(QStringLiteral("save-excel-on"));
  save_excel_->SetActionNames(QStringLiteral("Save to Excel"), QStringLiteral("Stop Save to Excel"));
  chart_mode_ = TwoStateButton(QStringLiteral("chart-mode"), QStringLiteral("Chart Mode"), this);
  text_mode_ = TwoStateButton(QStringLiteral("text-mode"), QStringLiteral("Text Mode"), this);

  auto* row = new QHBoxLayout;
  row->setSpacing(6);
  for (QWidget* control : std::initializer_list<QWidget*>{return_, add_, delete_, mode_}) row->addWidget(control);
  row->addSpacing(12);
  row->addWidget(device_label_);
  row->addWidget(device_box_);
  row->addWidget(com_);
  row->addWidget(save_bmp_);
  row->addSpacing(16);  // the forms apart from the month box
  for (QWidget* control : std::initializer_list<QWidget*>{month_, week_, day_}) row->addWidget(control);
  row->addStretch(1);
  for (QWidget* control : std::initializer_list<QWidget*>{save_excel_, chart_mode_, text_mode_})
    row->addWidget(control);

  charts_ = new TrackingCharts(this);
  readings_ = new ReadingsModel(kTextLinesKept, this);
  readings_view_ = new QListView(this);
  readings_view_->setAccessibleName(QStringLiteral("Readings"));
  readings_view_->setModel(readings_);
  readings_view_->setUniformItemSizes(true);  // a long list stays fast
  readings_view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixed.setPointSize(kReadingsPointSize);
  readings_view_->setFont(fixed);

  busy_ = new BusyIndicator(this);
  history_ = new HistoryDisplay(
      ops_, notifier_, charts_->Chart(TrackedQuantity::kCurrent), *busy_, [this] { return TextModeShown(); }, this);

  area_host_ = new QWidget(this);
  area_ = new QStackedLayout(area_host_);
  area_->setContentsMargins(0, 0, 0, 0);
  area_->addWidget(charts_);
  area_->addWidget(readings_view_);
  busy_->setParent(area_host_);
  busy_->setObjectName(QStringLiteral("HistoryProgress"));
  busy_->setAttribute(Qt::WA_StyledBackground, true);
  busy_->layout()->setContentsMargins(14, 8, 14, 12);
  busy_->setFixedSize(kBusySize);
  busy_->hide();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 4, 8, 8);
  layout->setSpacing(kAreaTop - 4 - kButtonHoverSize.height());
  layout->addLayout(row);
  layout->addWidget(area_host_, 1);
  resize(1000, 720);
}

// The progress panel in the middle of the area, over the chart or the list.
void ChartView::PlaceProgress() {
  busy_->move((area_host_->width() - busy_->width()) / 2, (area_host_->height() - busy_->height()) / 2);
  busy_->raise();
}

// The backdrop keeps its proportions and is only ever enlarged, so that
// its rule always runs in the gap under the row of buttons.
void ChartView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const qreal scale = std::max({1.0, width() / qreal(kBackdropSize.width()), height() / qreal(kBackdropSize.height())});
  const QSize drawn = (QSizeF(kBackdropSize) * scale).toSize();
  const qreal ratio = devicePixelRatioF();
  if (background_.isNull() || background_.size() != drawn * ratio) {
    background_ = ArtPixmap(u"chart-background", drawn, ratio);
  }
  if (background_.isNull()) {
    painter.fillRect(rect(), QColor(0x0F, 0x2C, 0x38));
  } else {
    painter.drawPixmap(0, 0, background_);
  }
}

}  // namespace quorvel
