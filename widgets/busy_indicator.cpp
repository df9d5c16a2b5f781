#include "widgets/busy_indicator.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace quorvel {
namespace {

QString OperationName(BusyOperation operation) {
  switch (operation) {
    case BusyOperation::kHistoryRead:
      return QStringLiteral("Reading history");
    case BusyOperation::kTimerRead:
      return QStringLiteral("Reading timers");
    case BusyOperation::kTimerWrite:
      return QStringLiteral("Writing timers");
  }
  return {};
}

}  // namespace

BusyIndicator::BusyIndicator(QWidget* parent)
    : QWidget(parent), label_(new QLabel(this)), bar_(new QProgressBar(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  layout->addWidget(label_);
  layout->addWidget(bar_);
  label_->setAccessibleName(QStringLiteral("Progress"));
  bar_->setAccessibleName(QStringLiteral("Progress bar"));
  bar_->setFormat(QStringLiteral("%v of %m"));
  bar_->setAlignment(Qt::AlignCenter);
  bar_->setFixedHeight(18);
  setStyleSheet(QStringLiteral(
      "QLabel { color: #ECFA42; font-size: 11pt; }"
      "QProgressBar { background: #0B2430; color: #E8F3F1; border: 1px solid #2EC4B6; border-radius: 4px;"
      " font-size: 10pt; }"
      "QProgressBar::chunk { background-color: #2A7F86; }"));
  hide();
}

BusyIndicator::~BusyIndicator() { EndAll(); }

void BusyIndicator::Start(BusyOperation operation, int total) {
  if (running_.insert(operation).second) QApplication::setOverrideCursor(Qt::WaitCursor);
  Show(operation, 0, total);
}

void BusyIndicator::Progress(BusyOperation operation, int done, int total) {
  if (running_.count(operation) == 0) Start(operation, total);
  Show(operation, done, total);
}

void BusyIndicator::End(BusyOperation operation) {
  if (running_.erase(operation) == 0) return;
  QApplication::restoreOverrideCursor();
  if (running_.empty()) hide();
}

void BusyIndicator::EndAll() {
  while (!running_.empty()) End(*running_.begin());
}

QString BusyIndicator::Text() const {
  return Running() ? label_->text() + QStringLiteral("  ") + bar_->text() : QString();
}

void BusyIndicator::Show(BusyOperation operation, int done, int total) {
  label_->setText(OperationName(operation));
  bar_->setRange(0, total);
  bar_->setValue(done);
  show();
}

}  // namespace quorvel
