// The real-time page's controls and where they sit. Everything fits the
// page area of the main window (980 x 574), so every control is in reach.
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <optional>

#include "model/reading_fields.h"
#include "pages/key_rules.h"
#include "pages/readings_hint.h"
#include "pages/realtime_page.h"
#include "widgets/arrow_pair.h"
#include "widgets/image_button.h"
#include "widgets/marked_field.h"
#include "widgets/rule_validator.h"
#include "widgets/tooltip_style.h"

namespace quorvel {
namespace {

constexpr int kTipPointSize = 11;
const QSize kButtonSize{48, 48};
const QSize kButtonHoverSize{56, 56};

ImageButton* Button(const QString& image, const QString& tip, QWidget* parent) {
  auto* button = new ImageButton(image, tip, kButtonSize, kButtonHoverSize, parent);
  StyleTooltip(button, kPageTipColour, kTipPointSize);
  return button;
}

QLabel* Caption(const QString& text, QWidget* parent) { return new QLabel(text, parent); }

// A unit beside a field; the tariff's are small.
QLabel* Unit(const QString& text, QWidget* parent, bool small = false) {
  auto* label = new QLabel(text, parent);
  if (small) label->setObjectName(QStringLiteral("small"));
  return label;
}

template <typename Field>
Field* Box(const QString& text, const QString& name, int width, QWidget* parent, bool read_only = false) {
  auto* field = new Field(text, parent);
  field->setAccessibleName(name);
  field->setFixedWidth(width);
  field->setReadOnly(read_only);
  // Read-only boxes take the focus too: Tab brings a screen reader to each value.
  field->setAlignment(read_only ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignCenter);
  return field;
}

QLineEdit* ReadingBox(const QString& text, const QString& name, QWidget* parent) {
  return Box<QLineEdit>(text, name, 150, parent, true);
}

}  // namespace

void RealTimePage::BuildHeader() {
  date_ = Box<MarkedField>(QStringLiteral("2009/06/23"), QStringLiteral("Date"), 136, this);
  date_->setMaxLength(10);
  time_ = Box<MarkedField>(QStringLiteral("09:30"), QStringLiteral("Time"), 80, this);
  time_->setMaxLength(5);
  weekday_ = new QComboBox(this);
  weekday_->addItems({QStringLiteral("Sunday"), QStringLiteral("Monday"), QStringLiteral("Tuesday"),
                      QStringLiteral("Wednesday"), QStringLiteral("Thursday"), QStringLiteral("Friday"),
                      QStringLiteral("Saturday")});
  weekday_->setEnabled(false);
  weekday_->setAccessibleName(QStringLiteral("Week day"));
  time_download_ = Button(QStringLiteral("time-download"), QStringLiteral("Time Data Download"), this);
  follow_clock_button_ = Button(QStringLiteral("follow-clock-off"), QStringLiteral("Load Device DateTime"), this);
  follow_clock_button_->SetSecondImage(QStringLiteral("follow-clock-on"));
  follow_clock_button_->SetActionNames(QStringLiteral("Load Device DateTime"), QStringLiteral("Stop Load DateTime"));
  follow_clock_button_->ShowSecondImage(true);

  device_box_ = new QComboBox(this);
  device_box_->setAccessibleName(QStringLiteral("Device"));
  device_box_->setMinimumWidth(120);
  device_box_->setPlaceholderText(QStringLiteral("Select"));  // nothing is selected at start
  comm_ = Button(QStringLiteral("comm-stopped"), QStringLiteral("Comm Start"), this);
  comm_->SetSecondImage(QStringLiteral("comm-running"));
  comm_->SetActionNames(QStringLiteral("Comm Start"), QStringLiteral("Comm Stop"));
  convert_view_ = Button(QStringLiteral("convert-view"), QStringLiteral("Convert view"), this);

  // The device: which meter the page shows, its port, its chart view.
  auto* device = new QGroupBox(this);
  auto* device_row = new QHBoxLayout(device);
  QLabel* device_caption = Caption(QStringLiteral("Device"), device);
  device_caption->setBuddy(device_box_);
  device_row->addWidget(device_caption);
  device_row->addWidget(device_box_);
  device_row->addStretch(1);
  device_row->addWidget(comm_);
  device_row->addWidget(convert_view_);
  body_->addWidget(device, 0, 0);

  // The meter's clock: shown, typed, set, followed.
  auto* clock = new QGroupBox(this);
  auto* grid = new QGridLayout(clock);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(4);
  const struct {
    const char* caption;
    QWidget* field;
    int row;
    int column;
  } fields[] = {{"Date", date_, 0, 0}, {"Time", time_, 1, 0}, {"Week", weekday_, 0, 2}};
  for (const auto& f : fields) {
    QLabel* caption = Caption(QString::fromUtf8(f.caption), clock);
    caption->setBuddy(f.field);
    grid->addWidget(caption, f.row, f.column);
    grid->addWidget(f.field, f.row, f.column + 1, Qt::AlignLeft);
  }
  grid->setColumnStretch(4, 1);
  grid->addWidget(time_download_, 0, 5, 2, 1);
  grid->addWidget(follow_clock_button_, 0, 6, 2, 1);
  body_->addWidget(clock, 0, 1);
}

void RealTimePage::BuildReadings() {
  auto* group = new QGroupBox(QStringLiteral("Device Readings"), this);
  auto* grid = new QGridLayout(group);
  grid->setHorizontalSpacing(12);
  grid->setVerticalSpacing(10);
  // One row per box; a reading of the table (model/reading_fields.h) names
  // its field, whose texts it shows. Nothing to read until a meter has
  // answered.
  const QString none = QString::fromLatin1(kNoReadingText);
  const struct {
    std::optional<ReadingField> field;
    const char* caption;
    QLineEdit* box;
    const char* unit;
  } rows[] = {
      {ReadingField::kVoltage, "Voltage", ReadingBox(none, QStringLiteral("Voltage"), group), "V"},
      {ReadingField::kCurrent, "Current",
       current_ = Box<MarkedField>(none, QStringLiteral("Current"), 150, group, true), "A"},
      {ReadingField::kPower, "Power", ReadingBox(none, QStringLiteral("Power"), group), "W"},
      {ReadingField::kPowerFactor, "Factor", ReadingBox(none, QStringLiteral("Factor"), group), ""},
      {ReadingField::kEnergy, "Energy", ReadingBox(none, QStringLiteral("Energy"), group), "kWh"},
      {std::nullopt, "CO<sub>2</sub>", co2_ = ReadingBox(none, QStringLiteral("CO2"), group), "KgCO<sub>2</sub>"},
  };
  int r = 0;
  for (const auto& row : rows) {
    if (row.field) reading_boxes_[Index(*row.field)] = row.box;
    reading_rows_.push_back(row.box);
    QLabel* caption = Caption(QString::fromUtf8(row.caption), group);
    caption->setBuddy(row.box);
    grid->addWidget(caption, r, 0);
    grid->addWidget(row.box, r, 1);
    // No empty label: a screen reader would name it after the group.
    if (*row.unit != '\0') grid->addWidget(Unit(QString::fromUtf8(row.unit), group), r, 2);
    ++r;
  }
  save_ = Button(QStringLiteral("save-off"), QStringLiteral("Stop Save"), group);
  save_->SetSecondImage(QStringLiteral("save-on"));
  save_->SetActionNames(QStringLiteral("Save to Excel"), QStringLiteral("Stop Save"));
  limit_indicator_ = Button(QStringLiteral("limit-alarm"), QString(), group);
  limit_indicator_->setAccessibleName(QStringLiteral("Limit indicator"));
  limit_indicator_->SetImageShown(false);
  limit_indicator_->setCursor(Qt::ArrowCursor);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(save_);
  buttons->addStretch(1);
  buttons->addWidget(limit_indicator_);
  grid->addLayout(buttons, r, 0, 1, 3);
  // What to do first, while no readings show.
  hint_ = new QLabel(group);
  hint_->setObjectName(QStringLiteral("hint"));
  hint_->setWordWrap(true);
  hint_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  grid->addWidget(hint_, r + 1, 0, 1, 3);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(r + 2, 1);
  body_->addWidget(group, 1, 0, 2, 1);
}

void RealTimePage::BuildTariff() {
  auto* group = new QGroupBox(QStringLiteral("Tariff Cost Setting"), this);
  auto* grid = new QGridLayout(group);
  grid->setHorizontalSpacing(6);
  price1_ = Box<MarkedField>(QStringLiteral("30.0"), QStringLiteral("Tier 1 price"), 80, group);
  price2_ = Box<MarkedField>(QStringLiteral("40.0"), QStringLiteral("Tier 2 price"), 80, group);
  for (QLineEdit* price : {price1_, price2_}) price->setValidator(new RuleValidator(PriceTextAccepted, price));
  tier_start_ = Box<QLineEdit>(QStringLiteral("1"), QStringLiteral("Tier 1 start"), 70, group, true);
  boundary_ = Box<MarkedField>(QStringLiteral("5000"), QStringLiteral("Tier boundary"), 80, group);
  boundary_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d*")), boundary_));
  upper_end_ = Box<MarkedField>(QStringLiteral("9999"), QStringLiteral("Tier 2 end"), 80, group, true);
  price_load_ = Button(QStringLiteral("price-load"), QStringLiteral("Price Data Load from Device"), group);
  price_download_ = Button(QStringLiteral("price-download"), QStringLiteral("Price Data Download"), group);

  // The half-width cent sign: the full-width one is missing from common Linux fonts.
  const QString cents = QStringLiteral("\u00A2/kWh");
  const QString kwh = QStringLiteral("kWh");
  grid->addWidget(Caption(QStringLiteral("Tier 1"), group), 0, 0);
  grid->addWidget(price1_, 0, 1);
  grid->addWidget(Unit(cents, group, true), 0, 2);
  grid->addWidget(tier_start_, 0, 3);
  grid->addWidget(Unit(kwh, group, true), 0, 4);
  grid->addWidget(Unit(QStringLiteral("to"), group, true), 0, 5);
  grid->addWidget(boundary_, 0, 6);
  grid->addWidget(Unit(kwh, group, true), 0, 7);
  grid->addWidget(Caption(QStringLiteral("Tier 2"), group), 1, 0);
  grid->addWidget(price2_, 1, 1);
  grid->addWidget(Unit(cents, group, true), 1, 2);
  grid->addWidget(Unit(QStringLiteral("to"), group, true), 1, 5);
  grid->addWidget(upper_end_, 1, 6);
  grid->addWidget(Unit(kwh, group, true), 1, 7);
  grid->setColumnStretch(8, 1);
  grid->addWidget(price_load_, 0, 9);
  grid->addWidget(price_download_, 1, 9);
  body_->addWidget(group, 1, 1);
}

void RealTimePage::BuildHistory() {
  // The group's title is the history position once a history is loaded.
  auto* group = new QGroupBox(QStringLiteral("History Data"), this);
  group->setAccessibleName(QStringLiteral("History position"));
  group->setAccessibleDescription(group->title());
  position_ = group;
  auto* grid = new QGridLayout(group);
  day_ = Box<QLineEdit>(QString(), QStringLiteral("Day energy"), 120, group, true);
  week_ = Box<QLineEdit>(QString(), QStringLiteral("Week energy"), 120, group, true);
  month_ = Box<QLineEdit>(QString(), QStringLiteral("Month energy"), 120, group, true);
  day_arrows_ = new ArrowPair(QStringLiteral("Next day"), QStringLiteral("Previous day"), group);
  week_arrows_ = new ArrowPair(QStringLiteral("Next week"), QStringLiteral("Previous week"), group);
  month_arrows_ = new ArrowPair(QStringLiteral("Next month"), QStringLiteral("Previous month"), group);
  const struct {
    const char* caption;
    QLineEdit* box;
    ArrowPair* arrows;
  } rows[] = {{"Day", day_, day_arrows_}, {"Week", week_, week_arrows_}, {"Month", month_, month_arrows_}};
  int r = 0;
  for (const auto& row : rows) {
    QLabel* caption = Caption(QString::fromUtf8(row.caption), group);
    caption->setBuddy(row.box);
    grid->addWidget(caption, r, 0);
    grid->addWidget(row.box, r, 1);
    row.arrows->setFixedHeight(row.box->sizeHint().height());
    grid->addWidget(row.arrows, r, 2);
    grid->addWidget(Unit(QStringLiteral("kWh"), group), r, 3);
    ++r;
  }
  history_load_ = Button(QStringLiteral("history-load"), QStringLiteral("Load History Data"), group);
  grid->addWidget(history_load_, 0, 5, 3, 1, Qt::AlignCenter);
  grid->setColumnStretch(4, 1);

  co2_factor_ = Box<MarkedField>(QStringLiteral("0.000"), QStringLiteral("CO2 factor"), 90, group);
  co2_download_ = Button(QStringLiteral("co2-download"), QStringLiteral("Load CO2 Factor"), group);
  auto* co2_row = new QHBoxLayout;
  co2_row->addWidget(Caption(QStringLiteral("1 kWh ="), group));
  co2_row->addWidget(co2_factor_);
  co2_row->addWidget(Unit(QStringLiteral("KgCO<sub>2</sub>"), group));
  co2_row->addStretch(1);
  co2_row->addWidget(co2_download_);
  grid->addLayout(co2_row, 3, 0, 1, 6);
  body_->addWidget(group, 2, 1);
}

void RealTimePage::ApplyStyle() {
  // Fields, lists and most labels at 15 points, the tariff's units at 10.
  setStyleSheet(QStringLiteral(R"(
    QWidget { font-size: 15pt; }
    QLabel#small { font-size: 10pt; }
    QLabel#hint { font-size: 12pt; }
    QLabel { color: #E8F3F1; background: transparent; }
    QGroupBox { color: #ECFA42; }
    QGroupBox { border: 1px solid rgba(46, 196, 182, 140); border-radius: 8px; margin-top: 16px; padding-top: 6px; }
    QGroupBox::title { subcontrol-origin: margin; left: 12px; padding: 0 4px; }
    QLineEdit { background: #F4FAF9; color: #0F2C38; border: 1px solid #2EC4B6; border-radius: 4px; padding: 1px 4px; }
    QLineEdit[readOnly="true"] { background: #0B2430; color: #ECFA42; }
    QComboBox { background: #F4FAF9; color: #0F2C38; border: 1px solid #2EC4B6; border-radius: 4px; padding: 1px 6px; }
    QComboBox:disabled { background: #0B2430; color: #ECFA42; }
    QComboBox QAbstractItemView { background: #F4FAF9; color: #0F2C38; selection-background-color: #2EC4B6; }
    QToolButton { background: #245A6C; border: 1px solid #2EC4B6; border-radius: 3px; }
    QToolButton:pressed { background: #2EC4B6; }
  )"));
}

}  // namespace quorvel
