#include "pages/timer_page.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "pages/field_keys.h"
#include "resources/artwork.h"
#include "widgets/image_button.h"
#include "widgets/marked_field.h"
#include "widgets/tooltip_style.h"

namespace quorvel {
namespace {

constexpr int kTipPointSize = 11;
constexpr int kDayListDropWidth = 150;
const QString kNoTime = QStringLiteral("00:00");

ImageButton* Button(const QString& image, const QString& tip, QWidget* parent) {
  auto* button = new ImageButton(image, tip, {48, 48}, {56, 56}, parent);
  StyleTooltip(button, kPageTipColour, kTipPointSize);
  return button;
}

QLabel* Heading(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QStringLiteral("columnHeading"));
  label->setAlignment(Qt::AlignCenter);
  return label;
}

QString Number(int timer) { return QString::number(timer); }

}  // namespace

TimerPage::TimerPage(DashboardOperations& operations, QWidget* parent) : PageWidget(parent), ops_(operations) {
  setObjectName(QStringLiteral("TimerPage"));
  setStyleSheet(QStringLiteral(R"(
    QWidget { font-size: 13pt; }
    QLabel { color: #E8F3F1; background: transparent; }
    QLabel#heading { color: #ECFA42; font-size: 18pt; }
    QLabel#columnHeading { color: #2EC4B6; font-weight: bold; }
    QLabel#note { color: #B9D3D0; font-size: 11pt; }
    QCheckBox { color: #E8F3F1; spacing: 8px; }
    QCheckBox::indicator { width: 24px; height: 24px; }
    QCheckBox::indicator:unchecked { image: url(%1); }
    QCheckBox::indicator:checked { image: url(%2); }
    QLineEdit { background: #F4FAF9; color: #0F2C38; border: 1px solid #2EC4B6; border-radius: 4px; padding: 1px 4px; }
    QLineEdit:disabled, QComboBox:disabled { background: #1A4756; color: #A8CBCC; border-color: #245A6C; }
    QComboBox { background: #F4FAF9; color: #0F2C38; border: 1px solid #2EC4B6; border-radius: 4px; padding: 1px 6px; }
    QComboBox QAbstractItemView { background: #F4FAF9; color: #0F2C38; selection-background-color: #2EC4B6; }
  )")
                    .arg(ArtPath(u"check-off"), ArtPath(u"check-on")));

  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(18, 10, 18, 12);
  page->setSpacing(8);

  auto* top = new QHBoxLayout;
  auto* heading = new QLabel(QStringLiteral("Digital Timer Setting"), this);
  heading->setObjectName(QStringLiteral("heading"));
  load_ = Button(QStringLiteral("timers-load"), QStringLiteral("Parameter Load from Device"), this);
  download_ = Button(QStringLiteral("timers-download"), QStringLiteral("Parameter Download"), this);
  top->addWidget(heading);
  top->addStretch(1);
  top->addWidget(load_);
  top->addWidget(download_);
  page->addLayout(top);

  auto* columns = new QHBoxLayout;
  columns->setSpacing(28);
  for (const int first : {1, 11}) {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(12);
    BuildColumn(grid, first);
    columns->addLayout(grid);
  }
  page->addLayout(columns);
  page->addStretch(1);
  auto* note = new QLabel(QStringLiteral("Parameter Download sends the ticked timers; a row in red is not sent "
                                         "(hours 00 to 24, minutes 00 to 59, a day pattern chosen). The meter keeps "
                                         "the others as they are."),
                          this);
  note->setObjectName(QStringLiteral("note"));
  note->setWordWrap(true);
  note->setAccessibleName(QStringLiteral("Timer note"));
  page->addWidget(note);

  connect(load_, &ImageButton::clicked, this, &TimerPage::OnLoad);
  connect(download_, &ImageButton::clicked, this, &TimerPage::OnDownload);
  // Enter and Escape never reach a control; the time fields see their typed
  // characters here first.
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

void TimerPage::BuildColumn(QGridLayout* grid, int first_timer) {
  grid->addWidget(Heading(QStringLiteral("ON"), this), 0, 1);
  grid->addWidget(Heading(QStringLiteral("OFF"), this), 0, 2);
  grid->addWidget(Heading(QStringLiteral("DAY"), this), 0, 3);
  for (int timer = first_timer; timer < first_timer + kTimerCount / 2; ++timer) {
    Row& row = rows_[static_cast<std::size_t>(timer - 1)];
    const QString name = QStringLiteral("Timer ") + Number(timer);
    row.enabled = new QCheckBox(QStringLiteral("Timer") + Number(timer), this);
    row.enabled->setAccessibleName(name + QStringLiteral(" enabled"));
    for (MarkedField** field : {&row.on, &row.off}) {
      *field = new MarkedField(kNoTime, this);
      (*field)->setMaxLength(kTimeFieldLength);
      (*field)->setAlignment(Qt::AlignCenter);
      (*field)->setFixedWidth(70);
    }
    row.on->setAccessibleName(name + QStringLiteral(" on"));
    row.off->setAccessibleName(name + QStringLiteral(" off"));
    row.days = new QComboBox(this);
    for (const std::string_view pattern : kDayPatterns) {
      row.days->addItem(QString::fromUtf8(pattern.data(), static_cast<qsizetype>(pattern.size())));
    }
    row.days->setAccessibleName(name + QStringLiteral(" days"));
    // A screen reader names a list by its entry and captions it by its
    // label: the column heading "DAY" captions none, so each list has one
    // of its own, unseen.
    auto* caption = new QLabel(name + QStringLiteral(" days"), this);
    caption->setBuddy(row.days);
    caption->hide();
    row.days->view()->setMinimumWidth(kDayListDropWidth);
    // As wide as its longest pattern, "MON\WED\FRI\SUN", from its first showing.
    row.days->setSizeAdjustPolicy(QComboBox::AdjustToContentsOnFirstShow);

    const int r = timer - first_timer + 1;
    grid->addWidget(row.enabled, r, 0);
    grid->addWidget(row.on, r, 1);
    grid->addWidget(row.off, r, 2);
    grid->addWidget(row.days, r, 3);
    connect(row.enabled, &QCheckBox::toggled, this, [this, timer](bool ticked) { OnTicked(timer, ticked); });
  }
}

void TimerPage::Entering() { OnLoad(); }

void TimerPage::ShowTimer(int timer, const TimerTexts& texts) {
  if (timer < 1 || timer > kTimerCount) return;
  const Row& row = rows_[static_cast<std::size_t>(timer - 1)];
  row.on->setText(QString::fromStdString(texts.on_time));
  row.off->setText(QString::fromStdString(texts.off_time));
  row.days->setCurrentIndex(texts.mode_entry);
}

// A ticked row may be edited and is sent; an unticked one rests.
void TimerPage::OnTicked(int timer, bool ticked) {
  const Row& row = rows_[static_cast<std::size_t>(timer - 1)];
  for (QWidget* control :
       {static_cast<QWidget*>(row.on), static_cast<QWidget*>(row.off), static_cast<QWidget*>(row.days)}) {
    control->setEnabled(ticked);
  }
}

void TimerPage::OnLoad() {
  ops_.RequestTimerRead();
  Q_EMIT longOperationStarted(BusyOperation::kTimerRead, kTimerCount);
}

void TimerPage::OnDownload() {
  std::array<TimerRow, kTimerCount> rows;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i] = {rows_[i].enabled->isChecked(), rows_[i].on->text().toStdString(), rows_[i].off->text().toStdString(),
               rows_[i].days->currentIndex()};
  }
  const TimerEdits edits = CheckTimerRows(rows, marks_);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i].ticked) continue;
    // The fields show what was read: at most five characters each.
    rows_[i].on->setText(QString::fromStdString(rows[i].on_time));
    rows_[i].off->setText(QString::fromStdString(rows[i].off_time));
  }
  ApplyMarks();
  // Refused rows are only red; the others go, and the tick ends the
  // download even when there is nothing to send.
  ops_.RequestTimerWrite(edits);
  Q_EMIT longOperationStarted(BusyOperation::kTimerWrite, kTimerCount);
}

void TimerPage::ApplyMarks() {
  for (int timer = 1; timer <= kTimerCount; ++timer) {
    const Row& row = rows_[static_cast<std::size_t>(timer - 1)];
    row.on->SetMarked(marks_.IsMarked(OnFieldId(timer)));
    row.off->SetMarked(marks_.IsMarked(OffFieldId(timer)));
    SetListMarked(*row.days, marks_.DaysMarked(timer));
  }
}

// --- Keys -------------------------------------------------------------------

bool TimerPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != window()) return false;  // a list's open drop-down keeps its keys
  const auto& key = static_cast<const QKeyEvent&>(*event);
  if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter || key.key() == Qt::Key_Escape) return true;
  return FilterTypedKey(watched, key);
}

bool TimerPage::FilterTypedKey(QObject* watched, const QKeyEvent& key) {
  auto* field = qobject_cast<MarkedField*>(watched);
  if (field == nullptr) return false;
  const int length = field->maxLength();
  return ApplyKeyRule(
      *field, key, [length](const FieldEdit& edit, char32_t typed) { return TypeIntoTimeField(edit, typed, length); });
}

}  // namespace quorvel
